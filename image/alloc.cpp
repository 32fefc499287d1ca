#include "image/alloc.h"

#include <cstdint>
#include <cstdio>

void die_no_memory(const char* name) {
    std::fputs(name, stdout);
    std::fputs(" no memory!!\n", stdout);
    std::fflush(stdout);
    std::exit(1);
}

void die_with_line(const char* line) {
    std::fputs(line, stdout);
    std::fflush(stdout);
    std::exit(1);
}

void* checked_malloc(std::size_t count, std::size_t elem_size, const char* name) {
    if (elem_size != 0 && count > SIZE_MAX / elem_size) die_no_memory(name);
    std::size_t bytes = count * elem_size;
    void* p = std::malloc(bytes == 0 ? 1 : bytes);
    if (p == nullptr) die_no_memory(name);
    return p;
}
