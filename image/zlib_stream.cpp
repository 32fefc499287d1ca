#include "image/zlib_stream.h"

#include <array>

namespace {

constexpr std::uint32_t kAdlerBase = 65521;

// Bits in the order deflate packs them: from the lowest bit of each byte on.
struct BitReader {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;      // the next byte to load
    std::uint32_t bits = 0;  // loaded bits, lowest first
    int count = 0;           // how many
    bool past_end = false;   // a read wanted bits the stream does not have

    std::uint32_t take(int n) {
        while (count < n) {
            if (at == size) {
                past_end = true;
                return 0;
            }
            bits |= static_cast<std::uint32_t>(data[at++]) << count;
            count += 8;
        }
        const std::uint32_t v = bits & ((1u << n) - 1u);
        bits >>= n;
        count -= n;
        return v;
    }
    void to_byte() {
        bits >>= count % 8;
        count -= count % 8;
    }
};

constexpr int kMostCodeBits = 15;

// A canonical Huffman code, decoded a bit at a time: for each length, how many codes and the
// symbols in order.
struct Huffman {
    std::array<std::uint16_t, kMostCodeBits + 1> counts{};
    std::array<std::uint16_t, 288> symbols{};
};

// Builds the code of lengths[0 .. n); false when the lengths over-subscribe the code. An
// incomplete code is allowed (a single distance code is common); a missing code is then an
// error when met.
bool build(const std::uint8_t* lengths, int n, Huffman* h) {
    h->counts.fill(0);
    for (int s = 0; s < n; ++s) ++h->counts[lengths[s]];
    h->counts[0] = 0;
    int left = 1;
    for (int len = 1; len <= kMostCodeBits; ++len) {
        left = 2 * left - h->counts[len];
        if (left < 0) return false;
    }
    std::array<std::uint16_t, kMostCodeBits + 1> offsets{};
    for (int len = 1; len < kMostCodeBits; ++len)
        offsets[len + 1] = static_cast<std::uint16_t>(offsets[len] + h->counts[len]);
    for (int s = 0; s < n; ++s)
        if (lengths[s] != 0) h->symbols[offsets[lengths[s]]++] = static_cast<std::uint16_t>(s);
    return true;
}

// The next symbol, or -1 for a code the table lacks (or the end of the stream).
int decode(BitReader* in, const Huffman& h) {
    int code = 0, first = 0, index = 0;
    for (int len = 1; len <= kMostCodeBits; ++len) {
        code |= static_cast<int>(in->take(1));
        if (in->past_end) return -1;
        const int count = h.counts[len];
        if (code - first < count) return h.symbols[index + code - first];
        index += count;
        first = (first + count) << 1;
        code <<= 1;
    }
    return -1;
}

constexpr std::uint16_t kLengthBase[29] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                           15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                           67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                           2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::uint16_t kDistanceBase[30] = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::uint8_t kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                             6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// The symbols of one compressed block, up to its end-of-block code.
InflateResult inflate_codes(BitReader* in, const Huffman& lengths, const Huffman& distances,
                            std::size_t most_bytes, std::vector<std::uint8_t>* out) {
    for (;;) {
        const int symbol = decode(in, lengths);
        if (symbol < 0) return in->past_end ? InflateResult::cut_short : InflateResult::damaged;
        if (symbol < 256) {
            if (out->size() == most_bytes) return InflateResult::too_large;
            out->push_back(static_cast<std::uint8_t>(symbol));
            continue;
        }
        if (symbol == 256) return InflateResult::ok;
        const int l = symbol - 257;
        if (l >= 29) return InflateResult::damaged;
        const std::size_t length = kLengthBase[l] + in->take(kLengthExtra[l]);
        const int d = decode(in, distances);
        if (d < 0) return in->past_end ? InflateResult::cut_short : InflateResult::damaged;
        if (d >= 30) return InflateResult::damaged;
        const std::size_t distance = kDistanceBase[d] + in->take(kDistanceExtra[d]);
        if (in->past_end) return InflateResult::cut_short;
        if (distance > out->size()) return InflateResult::damaged;
        if (length > most_bytes - out->size()) return InflateResult::too_large;
        // Byte by byte: a match may overlap the bytes it makes.
        for (std::size_t i = 0; i < length; ++i) out->push_back((*out)[out->size() - distance]);
    }
}

InflateResult fixed_codes(Huffman* lengths, Huffman* distances) {
    std::uint8_t l[288];
    for (int s = 0; s < 288; ++s) l[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
    std::uint8_t d[30];
    for (std::uint8_t& v : d) v = 5;
    build(l, 288, lengths);
    build(d, 30, distances);
    return InflateResult::ok;
}

// The code lengths of a dynamic block, themselves Huffman coded.
InflateResult dynamic_codes(BitReader* in, Huffman* lengths, Huffman* distances) {
    static constexpr std::uint8_t kOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                11, 4,  12, 3, 13, 2, 14, 1, 15};
    const int nlen = static_cast<int>(in->take(5)) + 257;
    const int ndist = static_cast<int>(in->take(5)) + 1;
    const int ncode = static_cast<int>(in->take(4)) + 4;
    if (in->past_end) return InflateResult::cut_short;
    if (nlen > 286 || ndist > 30) return InflateResult::damaged;
    std::uint8_t lens[320] = {};
    for (int i = 0; i < ncode; ++i) lens[kOrder[i]] = static_cast<std::uint8_t>(in->take(3));
    Huffman code_lengths;
    if (!build(lens, 19, &code_lengths)) return InflateResult::damaged;
    for (int i = 0; i < 19; ++i) lens[i] = 0;
    for (int i = 0; i < nlen + ndist;) {
        const int symbol = decode(in, code_lengths);
        if (symbol < 0) return in->past_end ? InflateResult::cut_short : InflateResult::damaged;
        if (symbol < 16) {
            lens[i++] = static_cast<std::uint8_t>(symbol);
            continue;
        }
        std::uint8_t value = 0;
        int repeat = 0;
        if (symbol == 16) {
            if (i == 0) return InflateResult::damaged;
            value = lens[i - 1];
            repeat = 3 + static_cast<int>(in->take(2));
        } else if (symbol == 17) {
            repeat = 3 + static_cast<int>(in->take(3));
        } else {
            repeat = 11 + static_cast<int>(in->take(7));
        }
        if (in->past_end) return InflateResult::cut_short;
        if (i + repeat > nlen + ndist) return InflateResult::damaged;
        while (repeat-- > 0) lens[i++] = value;
    }
    if (lens[256] == 0) return InflateResult::damaged;  // no end-of-block code
    if (!build(lens, nlen, lengths) || !build(lens + nlen, ndist, distances))
        return InflateResult::damaged;
    return InflateResult::ok;
}

}  // namespace

std::uint32_t adler32_of(const std::uint8_t* bytes, std::size_t count, std::uint32_t adler) {
    std::uint32_t a = adler & 0xFFFFu, b = adler >> 16;
    while (count > 0) {
        // 5552 bytes are the most that cannot overflow b before it is reduced.
        const std::size_t n = count < 5552 ? count : 5552;
        for (std::size_t i = 0; i < n; ++i) {
            a += bytes[i];
            b += a;
        }
        a %= kAdlerBase;
        b %= kAdlerBase;
        bytes += n;
        count -= n;
    }
    return b << 16 | a;
}

InflateResult zlib_inflate(const std::uint8_t* data, std::size_t size, std::size_t most_bytes,
                           std::vector<std::uint8_t>* out) {
    out->clear();
    InflateResult result = InflateResult::ok;
    if (size < 2) return InflateResult::cut_short;
    // Deflate (8) with a window of at most 32 KiB, the header's check, no preset dictionary.
    if ((data[0] & 0x0F) != 8 || (data[0] >> 4) > 7 || (data[0] << 8 | data[1]) % 31 != 0 ||
        (data[1] & 0x20) != 0)
        return InflateResult::damaged;
    BitReader in{data + 2, size - 2};
    bool last = false;
    while (!last && result == InflateResult::ok) {
        last = in.take(1) == 1;
        const std::uint32_t type = in.take(2);
        if (in.past_end) {
            result = InflateResult::cut_short;
        } else if (type == 0) {
            in.to_byte();
            const std::uint32_t len = in.take(16), nlen = in.take(16);
            if (in.past_end) {
                result = InflateResult::cut_short;
            } else if ((len ^ 0xFFFFu) != nlen) {
                result = InflateResult::damaged;
            } else if (in.size - in.at < len) {
                result = InflateResult::cut_short;
            } else if (len > most_bytes - out->size()) {
                result = InflateResult::too_large;
            } else {
                out->insert(out->end(), in.data + in.at, in.data + in.at + len);
                in.at += len;
            }
        } else if (type == 3) {
            result = InflateResult::damaged;
        } else {
            Huffman lengths, distances;
            result = type == 1 ? fixed_codes(&lengths, &distances)
                               : dynamic_codes(&in, &lengths, &distances);
            if (result == InflateResult::ok)
                result = inflate_codes(&in, lengths, distances, most_bytes, out);
        }
    }
    if (result == InflateResult::ok) {
        in.to_byte();
        std::uint32_t check = 0;
        for (int i = 0; i < 4; ++i) check = check << 8 | in.take(8);
        if (in.past_end)
            result = InflateResult::cut_short;
        else if (check != adler32_of(out->data(), out->size()))
            result = InflateResult::damaged;
    }
    if (result != InflateResult::ok) out->clear();
    return result;
}

std::vector<std::uint8_t> zlib_stored(const std::uint8_t* bytes, std::size_t count) {
    std::vector<std::uint8_t> z = {0x78, 0x01};
    std::size_t at = 0;
    do {
        const std::size_t n = count - at < 65535 ? count - at : 65535;
        z.push_back(at + n == count ? 1 : 0);
        z.push_back(static_cast<std::uint8_t>(n));
        z.push_back(static_cast<std::uint8_t>(n >> 8));
        z.push_back(static_cast<std::uint8_t>(~n));
        z.push_back(static_cast<std::uint8_t>(~n >> 8));
        z.insert(z.end(), bytes + at, bytes + at + n);
        at += n;
    } while (at < count);
    const std::uint32_t adler = adler32_of(bytes, count);
    for (int shift = 24; shift >= 0; shift -= 8)
        z.push_back(static_cast<std::uint8_t>(adler >> shift));
    return z;
}
