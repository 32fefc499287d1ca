#pragma once
// Runs a test body once per instruction set this processor and build support.

#include <gtest/gtest.h>

#include "base/isa.h"

// Calls body() with each supported set active in turn (each failure names its set), then
// restores the set that was active before.
template <class F>
void for_each_isa(F body) {
    const Isa before = active_isa();
    for (Isa isa : {Isa::generic, Isa::avx2, Isa::avx512}) {
        if (!isa_supported(isa)) continue;
        set_active_isa(isa);
        SCOPED_TRACE(isa_name(isa));
        body();
    }
    set_active_isa(before);
}
