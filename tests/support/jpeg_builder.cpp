#include "tests/support/jpeg_builder.h"

namespace {

// Bits into bytes from the highest bit, with a 00 stuffed after each byte FF, as entropy-coded
// data have them.
class EntropyBits {
   public:
    explicit EntropyBits(std::vector<std::uint8_t>* out) : out_(out) {}
    void put(std::uint32_t value, int count) {
        for (int i = count - 1; i >= 0; --i) {
            acc_ = static_cast<std::uint8_t>(acc_ << 1 | (value >> i & 1u));
            if (++bits_ == 8) emit();
        }
    }
    // Zero bits in bulk: whole zero bytes need no stuffing.
    void zeros(std::uint64_t count) {
        while (bits_ != 0 && count > 0) {
            put(0, 1);
            --count;
        }
        out_->insert(out_->end(), static_cast<std::size_t>(count / 8), 0);
        put(0, static_cast<int>(count % 8));
    }
    // Pads the last byte with ones, as the format asks.
    void finish() {
        while (bits_ != 0) put(1, 1);
    }

   private:
    void emit() {
        out_->push_back(acc_);
        if (acc_ == 0xFF) out_->push_back(0x00);
        acc_ = 0;
        bits_ = 0;
    }
    std::vector<std::uint8_t>* out_;
    std::uint8_t acc_ = 0;
    int bits_ = 0;
};

void segment(std::vector<std::uint8_t>* out, std::uint8_t marker,
             const std::vector<std::uint8_t>& body) {
    const std::size_t length = body.size() + 2;
    out->insert(out->end(), {0xFF, marker, static_cast<std::uint8_t>(length >> 8),
                             static_cast<std::uint8_t>(length)});
    out->insert(out->end(), body.begin(), body.end());
}

// Refinements of one AC coefficient: a first scan of bit 13 and one scan for each bit below.
constexpr int kScansPerCoefficient = 14;

}  // namespace

std::vector<std::uint8_t> flat_progressive_jpeg(int width, int height, int scans) {
    std::vector<std::uint8_t> out = {0xFF, 0xD8};
    std::vector<std::uint8_t> quant = {0x00};  // table 0, 8-bit entries, all 1
    quant.insert(quant.end(), 64, 1);
    segment(&out, 0xDB, quant);
    const auto hi = [](int v) { return static_cast<std::uint8_t>(v >> 8); };
    const auto lo = [](int v) { return static_cast<std::uint8_t>(v); };
    // One component, id 1, not subsampled, quantisation table 0.
    segment(&out, 0xC2, {8, hi(height), lo(height), hi(width), lo(width), 1, 1, 0x11, 0});
    // DC table 0: the one difference 0, coded "0". AC table 0: the end-of-band runs EOB0 to
    // EOB14 (symbols 0x00 to 0xE0), coded by 4 bits each as 0000 to 1110.
    std::vector<std::uint8_t> dc = {0x00, 1};
    dc.insert(dc.end(), 15, 0);
    dc.push_back(0x00);
    segment(&out, 0xC4, dc);
    std::vector<std::uint8_t> ac = {0x10, 0, 0, 0, 15};
    ac.insert(ac.end(), 12, 0);
    for (int r = 0; r <= 14; ++r) ac.push_back(static_cast<std::uint8_t>(r << 4));
    segment(&out, 0xC4, ac);

    const std::uint64_t blocks = ((static_cast<std::uint64_t>(width) + 7) / 8) *
                                 ((static_cast<std::uint64_t>(height) + 7) / 8);
    segment(&out, 0xDA, {1, 1, 0x00, 0, 0, 0x00});
    EntropyBits dc_bits(&out);
    dc_bits.zeros(blocks);
    dc_bits.finish();
    for (int s = 0; s + 1 < scans; ++s) {
        const int k = 1 + s / kScansPerCoefficient, j = s % kScansPerCoefficient;
        const int ah = j == 0 ? 0 : kScansPerCoefficient - j, al = 13 - j;
        segment(&out, 0xDA,
                {1, 1, 0x00, static_cast<std::uint8_t>(k), static_cast<std::uint8_t>(k),
                 static_cast<std::uint8_t>(ah << 4 | al)});
        // Every block empty, in runs of 2^r plus r more bits, up to 32767 blocks a run.
        EntropyBits bits(&out);
        for (std::uint64_t left = blocks; left > 0;) {
            const std::uint32_t run = static_cast<std::uint32_t>(left < 32767 ? left : 32767);
            int r = 0;
            while ((run >> (r + 1)) != 0) ++r;
            bits.put(static_cast<std::uint32_t>(r), 4);
            bits.put(run - (1u << r), r);
            left -= run;
        }
        bits.finish();
    }
    out.insert(out.end(), {0xFF, 0xD9});
    return out;
}
