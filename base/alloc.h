#pragma once
// Heap arrays whose allocation failure ends the process, as every working array of the
// resizers does: "<name> no memory!!\n" on standard output, exit status 1. Callers never
// see a failed allocation, so they have no error path for it.

#include <cstddef>
#include <cstdlib>

[[noreturn]] void die_no_memory(const char* name);

// The other fatal failure of the resizers (a transform that cannot be planned): prints line,
// which carries its own newline, on standard output and ends the process with exit status 1.
[[noreturn]] void die_with_line(const char* line);

// malloc of count elements of elem_size bytes; an overflowing or failed request dies with
// name. A request of 0 elements still returns a unique non-null block.
void* checked_malloc(std::size_t count, std::size_t elem_size, const char* name);

// Owner of one checked heap block of T (T trivially copyable). Freed when it goes out of
// scope, so every return path releases it. The contents start indeterminate.
template <class T>
class HeapArray {
public:
    HeapArray() = default;
    HeapArray(std::size_t count, const char* name)
        : data_(static_cast<T*>(checked_malloc(count, sizeof(T), name))), size_(count) {}
    ~HeapArray() { std::free(data_); }
    HeapArray(const HeapArray&) = delete;
    HeapArray& operator=(const HeapArray&) = delete;
    HeapArray(HeapArray&& o) noexcept : data_(o.data_), size_(o.size_) {
        o.data_ = nullptr;
        o.size_ = 0;
    }
    HeapArray& operator=(HeapArray&& o) noexcept {
        if (this != &o) {
            std::free(data_);
            data_ = o.data_;
            size_ = o.size_;
            o.data_ = nullptr;
            o.size_ = 0;
        }
        return *this;
    }

    // Releases the block early (the DFT interpolation gives back its grids as soon as a
    // stage no longer needs them).
    void reset() {
        std::free(data_);
        data_ = nullptr;
        size_ = 0;
    }

    T* get() { return data_; }
    const T* get() const { return data_; }
    T& operator[](std::size_t i) { return data_[i]; }
    const T& operator[](std::size_t i) const { return data_[i]; }
    std::size_t size() const { return size_; }

private:
    T* data_ = nullptr;
    std::size_t size_ = 0;
};

// A block of doubles for a grid or a lane buffer, aligned to 64 bytes (a vector register). No
// huge pages are asked for: measured on the DCT method, the system's clearing of fresh 2 MiB
// pages cost more processor time than the page walks they saved (docs/PERFORMANCE.md). A
// failed allocation ends the process with "<name> no memory!!".
class BigArray {
   public:
    BigArray() = default;
    BigArray(std::size_t count, const char* name);
    ~BigArray();
    BigArray(BigArray&& o) noexcept : data_(o.data_) { o.data_ = nullptr; }
    BigArray& operator=(BigArray&& o) noexcept;
    BigArray(const BigArray&) = delete;
    BigArray& operator=(const BigArray&) = delete;
    double* get() { return data_; }
    const double* get() const { return data_; }

   private:
    double* data_ = nullptr;
};
