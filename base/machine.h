#pragma once
// What the machine offers, for refusing work that cannot fit before any of it is done.

#include <cstdint>
#include <string>

// Physical memory in bytes; 0 when the platform does not tell. ENLARGE3_MEMORY_LIMIT=bytes in
// the environment lowers it (for running beside other work, and for tests).
std::uint64_t physical_memory_bytes();

// "1.5 GiB", "300.0 MiB", "12 bytes": a byte count for messages.
std::string format_bytes(std::uint64_t bytes);
