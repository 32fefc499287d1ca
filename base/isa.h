#pragma once
// The instruction set the vector code runs with, chosen once per process. Every vector entry
// point exists once per set, in a translation unit of its own compiled for that set
// (name_generic, name_avx2, name_avx512), and its caller switches on active_isa() to call one
// of them by name. Each lane of a vector does exactly the scalar operations of its own line, so
// the choice changes the speed and never a byte.
//
// Off x86-64 only the generic set is built: the plain C++ body, which the compiler may still
// vectorise for the baseline of that processor.

#include <atomic>
#include <string>

#include "base/status.h"

enum class Isa { generic, avx2, avx512 };

namespace isa_detail {
// Set once when the program starts; an inline read, because the tap sums ask for every output
// index.
extern std::atomic<int> g_active;
}  // namespace isa_detail

// The set in use: the widest the processor and the build support, unless ENLARGE3_LANE_ISA
// names a narrower one (for comparisons and tests). A set the processor cannot run gives the
// widest it can; a value that names no set of this build is refused by lane_isa_setting.
inline Isa active_isa() {
    return static_cast<Isa>(isa_detail::g_active.load(std::memory_order_relaxed));
}

// Whether this processor and build can run the code of isa.
bool isa_supported(Isa isa);

// Switches the set for the rest of the process (tests); isa must be supported, else nothing
// changes.
void set_active_isa(Isa isa);

// "generic", "avx2", "avx512".
const char* isa_name(Isa isa);
// The set a name gives; false for a name that is none of the above.
bool isa_from_name(const char* name, Isa* out);

// The sets this build has code for, by isa_name, narrowest first, comma separated:
// "generic, avx2, avx512" on x86-64, "generic" elsewhere.
std::string built_isa_names();

// ENLARGE3_LANE_ISA as the front-ends check it before any work: success when it is unset or
// names a set of this build (built_isa_names), else bad_setting with a line that gives the
// value and the sets there are.
Status lane_isa_setting();
