#include "base/isa.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>

namespace {

bool cpu_has(Isa isa) {
    switch (isa) {
        case Isa::generic:
            return true;
#if defined(ENLARGE3_HAVE_X86_LANES)
        case Isa::avx2:
            return __builtin_cpu_supports("avx2");
        case Isa::avx512:
            return __builtin_cpu_supports("avx512f");
#else
        case Isa::avx2:
        case Isa::avx512:
            return false;
#endif
    }
    return false;
}

Isa chosen_at_start() {
    Isa best = cpu_has(Isa::avx512) ? Isa::avx512 : cpu_has(Isa::avx2) ? Isa::avx2 : Isa::generic;
    Isa asked;
    if (const char* env = std::getenv("ENLARGE3_LANE_ISA"))
        if (isa_from_name(env, &asked) && cpu_has(asked) &&
            static_cast<int>(asked) < static_cast<int>(best))
            best = asked;
    return best;
}

}  // namespace

// Nothing reads it before main; a read during another file's static initialisation would see
// 0, the generic set, which gives the same bytes, only more slowly.
std::atomic<int> isa_detail::g_active{static_cast<int>(chosen_at_start())};

bool isa_supported(Isa isa) {
    return cpu_has(isa);
}

void set_active_isa(Isa isa) {
    if (cpu_has(isa)) isa_detail::g_active.store(static_cast<int>(isa), std::memory_order_relaxed);
}

const char* isa_name(Isa isa) {
    switch (isa) {
        case Isa::avx2:
            return "avx2";
        case Isa::avx512:
            return "avx512";
        case Isa::generic:
            break;
    }
    return "generic";
}

namespace {

bool built(Isa isa) {
#if defined(ENLARGE3_HAVE_X86_LANES)
    (void)isa;
    return true;
#else
    return isa == Isa::generic;
#endif
}

}  // namespace

std::string built_isa_names() {
    std::string names;
    for (Isa isa : {Isa::generic, Isa::avx2, Isa::avx512}) {
        if (!built(isa)) continue;
        if (!names.empty()) names += ", ";
        names += isa_name(isa);
    }
    return names;
}

Status lane_isa_setting() {
    const char* env = std::getenv("ENLARGE3_LANE_ISA");
    Isa isa;
    if (env == nullptr || (isa_from_name(env, &isa) && built(isa))) return Status::success();
    return Status::failure(StatusCode::bad_setting,
                           std::string("ENLARGE3_LANE_ISA=") + env +
                               " names no instruction set of this build (it has " +
                               built_isa_names() + ")");
}

bool isa_from_name(const char* name, Isa* out) {
    for (Isa isa : {Isa::generic, Isa::avx2, Isa::avx512}) {
        if (std::strcmp(name, isa_name(isa)) == 0) {
            *out = isa;
            return true;
        }
    }
    return false;
}
