#pragma once
// What the machine offers, for refusing work that cannot fit before any of it is done.

#include <cstdint>
#include <string>

// Physical memory in bytes; 0 when the platform does not tell. ENLARGE3_MEMORY_LIMIT=bytes in
// the environment lowers it (for running beside other work, and for tests).
std::uint64_t physical_memory_bytes();

// Whether ENLARGE3_MEMORY_LIMIT gave physical_memory_bytes' figure (a value of it at or above
// the machine's memory, or one that is no number, changes nothing and does not count).
bool memory_limit_set();

// The memory a refusal was measured against, for its message: "the limit set
// (ENLARGE3_MEMORY_LIMIT) of 190.7 MiB" when set, else "this machine's memory (23.4 GiB)".
std::string memory_limit_words(std::uint64_t bytes, bool set);

// "1.5 GiB", "300.0 MiB", "12 bytes": a byte count for messages.
std::string format_bytes(std::uint64_t bytes);
