#pragma once
// SHA-256 of a byte string as 64 lower-case hex digits, for golden results.

#include <cstdint>
#include <string>
#include <vector>

std::string sha256_hex(const std::vector<std::uint8_t>& data);
