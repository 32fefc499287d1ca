#include "base/parallel.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#if defined(_WIN32) && !defined(_GLIBCXX_HAS_GTHREADS)
#define ENLARGE3_NO_THREADS 1
#else
#include <thread>
#endif

int worker_count() {
    static const int count = [] {
        if (const char* env = std::getenv("ENLARGE3_THREADS")) {
            int n = std::atoi(env);
            if (n >= 1) return std::min(n, 64);
        }
#ifdef ENLARGE3_NO_THREADS
        return 1;
#else
        unsigned hw = std::thread::hardware_concurrency();
        return hw == 0 ? 1 : static_cast<int>(std::min(hw, 64u));
#endif
    }();
    return count;
}

void parallel_for(std::size_t count, std::size_t min_chunk,
                  const std::function<void(std::size_t, std::size_t)>& fn) {
    if (count == 0) return;
    std::size_t workers = static_cast<std::size_t>(worker_count());
    if (min_chunk == 0) min_chunk = 1;
    workers = std::min(workers, (count + min_chunk - 1) / min_chunk);
#ifndef ENLARGE3_NO_THREADS
    if (workers > 1) {
        std::size_t chunk = (count + workers - 1) / workers;
        std::vector<std::thread> threads;
        for (std::size_t begin = chunk; begin < count; begin += chunk)
            threads.emplace_back(fn, begin, std::min(count, begin + chunk));
        fn(0, std::min(count, chunk));
        for (std::thread& t : threads) t.join();
        return;
    }
#endif
    fn(0, count);
}
