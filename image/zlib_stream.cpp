#include "image/zlib_stream.h"

#include <algorithm>
#include <cstring>
#include <iterator>

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
    std::uint16_t counts[kMostCodeBits + 1] = {};
    std::uint16_t symbols[288] = {};
};

// Builds the code of lengths[0 .. n); false when the lengths over-subscribe the code. An
// incomplete code is allowed (a single distance code is common); a missing code is then an
// error when met.
bool build(const std::uint8_t* lengths, int n, Huffman* h) {
    std::fill(std::begin(h->counts), std::end(h->counts), std::uint16_t{0});
    for (int s = 0; s < n; ++s) ++h->counts[lengths[s]];
    h->counts[0] = 0;
    int left = 1;
    for (int len = 1; len <= kMostCodeBits; ++len) {
        left = 2 * left - h->counts[len];
        if (left < 0) return false;
    }
    std::uint16_t offsets[kMostCodeBits + 1] = {};
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

// Bits in the order deflate packs them, into a byte vector sized beforehand for the most they
// can come to (room() says how many bytes that is for a count of bytes coded).
class BitWriter {
   public:
    explicit BitWriter(std::vector<std::uint8_t>* out) : out_(out), at_(out->size()) {}
    ~BitWriter() { out_->resize(at_); }
    void room(std::size_t bytes) {
        if (out_->size() < at_ + bytes) out_->resize(at_ + bytes);
    }
    // v holds n bits (n at most 32), the first to go in its lowest bit.
    void put(std::uint64_t v, int n) {
        bits_ |= v << count_;
        count_ += n;
        if (count_ >= 32) {
            const std::uint8_t word[4] = {
                static_cast<std::uint8_t>(bits_), static_cast<std::uint8_t>(bits_ >> 8),
                static_cast<std::uint8_t>(bits_ >> 16), static_cast<std::uint8_t>(bits_ >> 24)};
            std::memcpy(out_->data() + at_, word, 4);
            at_ += 4;
            bits_ >>= 32;
            count_ -= 32;
        }
    }
    // Pads with zero bits to a byte boundary and writes what is held.
    void flush() {
        room(8);
        while (count_ > 0) {
            (*out_)[at_++] = static_cast<std::uint8_t>(bits_);
            bits_ >>= 8;
            count_ = count_ > 8 ? count_ - 8 : 0;
        }
        bits_ = 0;
    }
    void bytes(const std::uint8_t* b, std::size_t n) {
        room(n);
        std::memcpy(out_->data() + at_, b, n);
        at_ += n;
    }

   private:
    std::vector<std::uint8_t>* out_;
    std::size_t at_;  // the bytes written
    std::uint64_t bits_ = 0;
    int count_ = 0;
};

// Code lengths of at most most_bits for the symbols of freq[0 .. n) (those of frequency 0 get
// none), by Huffman's construction; when a code comes out too long, the frequencies are halved
// (none below 1) and the code built again, which flattens it at a tiny cost.
void code_lengths(const std::uint32_t* freq, int n, int most_bits, std::uint8_t* lengths) {
    std::vector<std::uint64_t> f(freq, freq + n);
    for (;;) {
        // Nodes: leaves 0 .. n - 1, then the inner ones; parent[] links them up.
        std::vector<int> order;
        for (int s = 0; s < n; ++s)
            if (f[static_cast<std::size_t>(s)] > 0) order.push_back(s);
        for (int s = 0; s < n; ++s) lengths[s] = 0;
        if (order.size() == 1) {
            lengths[order[0]] = 1;
            return;
        }
        if (order.empty()) return;
        std::sort(order.begin(), order.end(), [&](int a, int b) {
            return f[static_cast<std::size_t>(a)] < f[static_cast<std::size_t>(b)] ||
                   (f[static_cast<std::size_t>(a)] == f[static_cast<std::size_t>(b)] && a < b);
        });
        // Two queues: the leaves by frequency and the inner nodes as they are made, which come
        // out in order of frequency too.
        std::vector<std::uint64_t> weight(2 * static_cast<std::size_t>(n));
        std::vector<int> parent(2 * static_cast<std::size_t>(n), -1);
        for (int s = 0; s < n; ++s)
            weight[static_cast<std::size_t>(s)] = f[static_cast<std::size_t>(s)];
        std::size_t leaf = 0, inner = static_cast<std::size_t>(n),
                    made = static_cast<std::size_t>(n);
        auto smallest = [&]() {
            if (leaf < order.size() &&
                (inner == made || weight[static_cast<std::size_t>(order[leaf])] <= weight[inner]))
                return static_cast<std::size_t>(order[leaf++]);
            return inner++;
        };
        for (std::size_t joins = order.size() - 1; joins > 0; --joins) {
            const std::size_t a = smallest(), b = smallest();
            weight[made] = weight[a] + weight[b];
            parent[a] = parent[b] = static_cast<int>(made);
            ++made;
        }
        // Depths from the root (the last node made) down: a parent is made after its children.
        std::vector<int> depth(made, 0);
        for (std::size_t i = made - 1; i-- > 0;)
            if (parent[i] >= 0) depth[i] = depth[static_cast<std::size_t>(parent[i])] + 1;
        bool fits = true;
        for (int s : order) {
            lengths[s] = static_cast<std::uint8_t>(depth[static_cast<std::size_t>(s)]);
            fits = fits && depth[static_cast<std::size_t>(s)] <= most_bits;
        }
        if (fits) return;
        for (std::uint64_t& v : f)
            if (v > 0) v = (v + 1) / 2;
    }
}

// The canonical codes of lengths[0 .. n), bit-reversed, as deflate sends them lowest bit first.
void canonical_codes(const std::uint8_t* lengths, int n, std::uint16_t* codes) {
    std::uint16_t count[kMostCodeBits + 2] = {}, next[kMostCodeBits + 2] = {};
    for (int s = 0; s < n; ++s) ++count[lengths[s]];
    count[0] = 0;
    int code = 0;
    for (int len = 1; len <= kMostCodeBits; ++len) {
        code = (code + count[len - 1]) << 1;
        next[len] = static_cast<std::uint16_t>(code);
    }
    for (int s = 0; s < n; ++s) {
        const int len = lengths[s];
        if (len == 0) continue;
        const int c = next[len]++;
        int reversed = 0;
        for (int i = 0; i < len; ++i) reversed |= ((c >> i) & 1) << (len - 1 - i);
        codes[s] = static_cast<std::uint16_t>(reversed);
    }
}

// One dynamic block of bytes[0 .. count) as literals and the end-of-block code.
void huffman_block(const std::uint8_t* bytes, std::size_t count, bool last, BitWriter* out) {
    constexpr int kSymbols = 257;  // the bytes and end-of-block
    std::uint32_t freq[kSymbols] = {};
    for (std::size_t i = 0; i < count; ++i) ++freq[bytes[i]];
    freq[256] = 1;
    std::uint8_t lengths[kSymbols + 2];
    code_lengths(freq, kSymbols, kMostCodeBits, lengths);
    // Two distance codes of one bit, never used: what every decoder takes for "no distances".
    lengths[kSymbols] = lengths[kSymbols + 1] = 1;
    // The lengths themselves, each sent as a code-length symbol of its own (no runs): at most a
    // few hundred bits a block.
    std::uint32_t length_freq[19] = {};
    for (std::uint8_t l : lengths) ++length_freq[l];
    std::uint8_t length_lengths[19];
    code_lengths(length_freq, 19, 7, length_lengths);
    std::uint16_t length_codes[19] = {};
    canonical_codes(length_lengths, 19, length_codes);
    static constexpr std::uint8_t kOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                11, 4,  12, 3, 13, 2, 14, 1, 15};
    // The header at most 17 + 19 * 3 + 259 * 7 bits, each byte at most 15 bits.
    out->room(300 + count * 2);
    int hclen = 19;
    while (hclen > 4 && length_lengths[kOrder[hclen - 1]] == 0) --hclen;
    out->put(last ? 1 : 0, 1);
    out->put(2, 2);               // dynamic codes
    out->put(kSymbols - 257, 5);  // HLIT
    out->put(2 - 1, 5);           // HDIST
    out->put(static_cast<std::uint64_t>(hclen - 4), 4);
    for (int i = 0; i < hclen; ++i) out->put(length_lengths[kOrder[i]], 3);
    for (std::uint8_t l : lengths) out->put(length_codes[l], length_lengths[l]);
    std::uint16_t codes[kSymbols] = {};
    canonical_codes(lengths, kSymbols, codes);
    // Each code with its length in one word, so the loop looks up once per byte.
    std::uint32_t table[kSymbols];
    for (int s = 0; s < kSymbols; ++s)
        table[s] = static_cast<std::uint32_t>(codes[s]) << 8 | lengths[s];
    std::size_t i = 0;
    // Two codes of at most 15 bits per put.
    for (; i + 1 < count; i += 2) {
        const std::uint32_t a = table[bytes[i]], b = table[bytes[i + 1]];
        const int la = static_cast<int>(a & 0xFF);
        out->put(static_cast<std::uint64_t>(a >> 8) | static_cast<std::uint64_t>(b >> 8) << la,
                 la + static_cast<int>(b & 0xFF));
    }
    if (i < count) out->put(table[bytes[i]] >> 8, static_cast<int>(table[bytes[i]] & 0xFF));
    out->put(table[256] >> 8, static_cast<int>(table[256] & 0xFF));
}

}  // namespace

void deflate_huffman_only(const std::uint8_t* bytes, std::size_t count, bool last,
                          std::vector<std::uint8_t>* out) {
    BitWriter bits(out);
    std::size_t at = 0;
    do {
        const std::size_t n = std::min(kHuffmanBlockBytes, count - at);
        huffman_block(bytes + at, n, last && at + n == count, &bits);
        at += n;
    } while (at < count);
    if (!last) {
        // An empty stored block: its header, then to the byte boundary, then 0 and ~0.
        bits.put(0, 3);
        bits.flush();
        const std::uint8_t empty[4] = {0, 0, 0xFF, 0xFF};
        bits.bytes(empty, 4);
    }
    bits.flush();
}

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

std::vector<std::uint8_t> zlib_huffman_only(const std::uint8_t* bytes, std::size_t count) {
    std::vector<std::uint8_t> z(2);
    z[0] = 0x78;  // deflate with a 32 KiB window
    z[1] = 0x01;  // the fastest level; the header's check
    deflate_huffman_only(bytes, count, true, &z);
    const std::uint32_t adler = adler32_of(bytes, count);
    for (int shift = 24; shift >= 0; shift -= 8) z.push_back(static_cast<std::uint8_t>(adler >> shift));
    return z;
}
