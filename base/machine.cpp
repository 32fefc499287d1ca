#include "base/machine.h"

#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

// The machine's memory, or the lower limit ENLARGE3_MEMORY_LIMIT sets (*set then true).
std::uint64_t memory_bytes(bool* set) {
    *set = false;
    std::uint64_t total = 0;
#ifdef _WIN32
    MEMORYSTATUSEX status;
    status.dwLength = sizeof status;
    if (GlobalMemoryStatusEx(&status)) total = status.ullTotalPhys;
#else
    long pages = sysconf(_SC_PHYS_PAGES), page = sysconf(_SC_PAGESIZE);
    if (pages > 0 && page > 0)
        total = static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(page);
#endif
    if (const char* env = std::getenv("ENLARGE3_MEMORY_LIMIT")) {
        char* end = nullptr;
        unsigned long long limit = std::strtoull(env, &end, 10);
        if (end != env && *end == '\0' && limit > 0 && (total == 0 || limit < total)) {
            total = limit;
            *set = true;
        }
    }
    return total;
}

}  // namespace

std::uint64_t physical_memory_bytes() {
    bool set = false;
    return memory_bytes(&set);
}

bool memory_limit_set() {
    bool set = false;
    (void)memory_bytes(&set);
    return set;
}

std::string memory_limit_words(std::uint64_t bytes, bool set) {
    return set ? "the limit set (ENLARGE3_MEMORY_LIMIT) of " + format_bytes(bytes)
               : "this machine's memory (" + format_bytes(bytes) + ")";
}

std::string format_bytes(std::uint64_t bytes) {
    const char* units[] = {"bytes", "KiB", "MiB", "GiB", "TiB"};
    double v = static_cast<double>(bytes);
    int u = 0;
    while (v >= 1024.0 && u < 4) {
        v /= 1024.0;
        ++u;
    }
    char buf[32];
    if (u == 0)
        std::snprintf(buf, sizeof buf, "%llu bytes", static_cast<unsigned long long>(bytes));
    else
        std::snprintf(buf, sizeof buf, "%.1f %s", v, units[u]);
    return buf;
}
