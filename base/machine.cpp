#include "base/machine.h"

#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

std::uint64_t physical_memory_bytes() {
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
        if (end != env && *end == '\0' && limit > 0 && (total == 0 || limit < total))
            total = limit;
    }
    return total;
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
