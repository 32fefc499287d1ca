#include "base/parallel.h"

#include <algorithm>
#include <cstdlib>
#include <thread>
#include <vector>

int worker_count() {
    static const int count = [] {
        if (const char* env = std::getenv("ENLARGE3_THREADS")) {
            int n = std::atoi(env);
            if (n >= 1) return std::min(n, 64);
        }
        unsigned hw = std::thread::hardware_concurrency();
        return hw == 0 ? 1 : static_cast<int>(std::min(hw, 64u));
    }();
    return count;
}

void parallel_for(std::size_t count, std::size_t min_chunk,
                  const std::function<void(std::size_t, std::size_t)>& fn) {
    if (count == 0) return;
    std::size_t workers = static_cast<std::size_t>(worker_count());
    if (min_chunk == 0) min_chunk = 1;
    workers = std::min(workers, (count + min_chunk - 1) / min_chunk);
    if (workers > 1) {
        std::size_t chunk = (count + workers - 1) / workers;
        std::vector<std::thread> threads;
        for (std::size_t begin = chunk; begin < count; begin += chunk)
            threads.emplace_back(fn, begin, std::min(count, begin + chunk));
        fn(0, std::min(count, chunk));
        for (std::thread& t : threads) t.join();
        return;
    }
    fn(0, count);
}
