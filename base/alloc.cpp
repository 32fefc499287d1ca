#include "base/alloc.h"

#include <cstdint>
#include <cstdio>

#ifdef _WIN32
#include <malloc.h>
#endif

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

namespace {

// Windows' C library has no aligned_alloc; its own aligned blocks need their own free.
void* aligned_block(std::size_t align, std::size_t size) {
#ifdef _WIN32
    return _aligned_malloc(size, align);
#else
    return std::aligned_alloc(align, size);
#endif
}

void free_aligned_block(void* p) {
#ifdef _WIN32
    _aligned_free(p);
#else
    std::free(p);
#endif
}

}  // namespace

BigArray::BigArray(std::size_t count, const char* name) {
    constexpr std::size_t kAlign = 64;
    if (count > (SIZE_MAX - kAlign) / sizeof(double)) die_no_memory(name);
    const std::size_t bytes = count * sizeof(double);
    // aligned_alloc wants a multiple of the alignment.
    const std::size_t size = bytes == 0 ? kAlign : (bytes + kAlign - 1) / kAlign * kAlign;
    data_ = static_cast<double*>(aligned_block(kAlign, size));
    if (data_ == nullptr) die_no_memory(name);
}

BigArray::~BigArray() {
    free_aligned_block(data_);
}

BigArray& BigArray::operator=(BigArray&& o) noexcept {
    if (this != &o) {
        free_aligned_block(data_);
        data_ = o.data_;
        o.data_ = nullptr;
    }
    return *this;
}
