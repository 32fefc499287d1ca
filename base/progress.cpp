#include "base/progress.h"

#include <cmath>

namespace {

std::uint64_t to_ticks(double fraction, double ticks) {
    if (!(fraction > 0.0)) return 0;
    if (fraction >= 1.0) return static_cast<std::uint64_t>(ticks);
    return static_cast<std::uint64_t>(fraction * ticks);
}

}  // namespace

void RunProgress::advance_to(std::uint64_t ticks) {
    std::uint64_t done = done_.load(std::memory_order_relaxed);
    while (done < ticks && !done_.compare_exchange_weak(done, ticks, std::memory_order_relaxed)) {
    }
}

void RunProgress::begin_method(int method, double begin, double end) {
    const std::uint64_t b = to_ticks(begin, kTicks), e = to_ticks(end, kTicks);
    ticks_per_unit_.store(0.0, std::memory_order_relaxed);
    end_.store(e > b ? e : b, std::memory_order_relaxed);
    span_.store(e > b ? e - b : 0, std::memory_order_relaxed);
    advance_to(b);
    method_.store(method, std::memory_order_relaxed);
}

void RunProgress::set_units(std::uint64_t units) {
    const double span = static_cast<double>(span_.load(std::memory_order_relaxed));
    ticks_per_unit_.store(units == 0 ? 0.0 : span / static_cast<double>(units),
                          std::memory_order_relaxed);
}

void RunProgress::add_units(std::uint64_t units) {
    // Rounded down, so the units announced never add up to more than the method's part; the
    // cap holds a method that reports more than it announced.
    const std::uint64_t ticks = static_cast<std::uint64_t>(
        std::floor(static_cast<double>(units) * ticks_per_unit_.load(std::memory_order_relaxed)));
    const std::uint64_t end = end_.load(std::memory_order_relaxed);
    std::uint64_t done = done_.load(std::memory_order_relaxed);
    while (done < end) {
        const std::uint64_t next = end - done < ticks ? end : done + ticks;
        if (done_.compare_exchange_weak(done, next, std::memory_order_relaxed)) break;
    }
    if (observer) observer(*this);
}

void RunProgress::end_method() {
    advance_to(end_.load(std::memory_order_relaxed));
}

double RunProgress::fraction() const {
    const double f = static_cast<double>(done_.load(std::memory_order_relaxed)) / kTicks;
    return f < 1.0 ? f : 1.0;
}
