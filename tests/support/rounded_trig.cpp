#include "tests/support/rounded_trig.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

// Every path reduces x to r = x - k pi/2 with |r| <= pi/4 and evaluates sin r or cos r; which
// of the two, and the sign, follow from k mod 4. Three evaluations of growing precision and
// cost are tried in turn until one can tell the rounding: a table and short series (about
// 2^-68), the full Taylor series in double-double (about 2^-102), fixed-point arithmetic to as
// many bits as it takes. Every operation is a plain IEEE double or integer operation, so the
// values do not depend on the maths library.

namespace {

// ---- Double-double arithmetic: a value is hi + lo with |lo| at most half an ulp of hi.

struct DD {
    double hi, lo;
};

constexpr DD two_sum(double a, double b) {
    const double s = a + b;
    const double bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

// The same when |a| >= |b| (or a is 0).
constexpr DD fast_two_sum(double a, double b) {
    const double s = a + b;
    return {s, b - (s - a)};
}

// Veltkamp's split: a = hi + lo, each with at most 26 significant bits.
constexpr DD split(double a) {
    const double c = 134217729.0 * a;  // 2^27 + 1
    const double hi = c - (c - a);
    return {hi, a - hi};
}

// Dekker's exact product a * b = hi + lo, without a fused multiply-add.
constexpr DD two_prod(double a, double b) {
    const double p = a * b;
    const DD x = split(a), y = split(b);
    return {p, ((x.hi * y.hi - p) + x.hi * y.lo + x.lo * y.hi) + x.lo * y.lo};
}

constexpr DD add(DD a, DD b) {
    DD s = two_sum(a.hi, b.hi);
    const DD t = two_sum(a.lo, b.lo);
    s = fast_two_sum(s.hi, s.lo + t.hi);
    return fast_two_sum(s.hi, s.lo + t.lo);
}

constexpr DD mul(DD a, DD b) {
    const DD p = two_prod(a.hi, b.hi);
    return fast_two_sum(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

// 1 / f in double-double, f exact (a factorial up to 22!).
constexpr DD inverse(double f) {
    const double q = 1.0 / f;
    const DD p = two_prod(q, f);
    return fast_two_sum(q, ((1.0 - p.hi) - p.lo) / f);
}

// The Taylor coefficients (-1)^k / (2k + first)! of sin r = r (1 + z S(z)) (first = 1) and
// cos r = 1 + z C(z) (first = 0), z = r^2, k = 1 .. 15. The first eight in double-double; the
// rest are below 2^-54 of the sum at |r| <= pi/4 and need only double precision.
struct Series {
    std::array<DD, 8> head;
    std::array<double, 7> tail;
};

constexpr Series make_series(int first) {
    Series s{};
    double factorial = 1.0;
    int n = 1;
    for (int k = 1; k <= 15; ++k) {
        for (; n <= 2 * k + first; ++n) factorial *= n;  // exact up to 22!
        const double sign = k % 2 == 1 ? -1.0 : 1.0;
        if (k <= 8) {
            const DD c = inverse(factorial);
            s.head[static_cast<std::size_t>(k - 1)] = {sign * c.hi, sign * c.lo};
        } else {
            s.tail[static_cast<std::size_t>(k - 9)] = sign / factorial;
        }
    }
    return s;
}

constexpr Series kSinSeries = make_series(1);
constexpr Series kCosSeries = make_series(0);

// Horner's rule: the tail in doubles, then the head in double-double.
constexpr DD series_sum(const Series& s, DD z) {
    double t = s.tail[6];
    for (int k = 5; k >= 0; --k) t = s.tail[static_cast<std::size_t>(k)] + z.hi * t;
    DD p = {t, 0.0};
    for (int k = 7; k >= 0; --k) p = add(s.head[static_cast<std::size_t>(k)], mul(z, p));
    return p;
}

// sin r or cos r for |r| <= pi/4 (a little more is fine), good to about 2^-102.
constexpr DD sin_series(DD r) {
    const DD z = mul(r, r);
    return add(r, mul(mul(r, z), series_sum(kSinSeries, z)));
}

constexpr DD cos_series(DD r) {
    const DD z = mul(r, r);
    return add({1.0, 0.0}, mul(z, series_sum(kCosSeries, z)));
}

// sin and cos of i / 64 for i = 0 .. 51 (0 .. pi/4 and a little more), computed by the
// compiler with the series above.
struct TableEntry {
    DD sin, cos;
};

constexpr std::array<TableEntry, 52> make_table() {
    std::array<TableEntry, 52> t{};
    for (std::size_t i = 0; i < t.size(); ++i) {
        const DD a = {static_cast<double>(i) / 64.0, 0.0};
        t[i] = {sin_series(a), cos_series(a)};
    }
    return t;
}

constexpr std::array<TableEntry, 52> kTable = make_table();

// sin r or cos r for 0 <= r <= pi/4 from the nearest table entry a = i/64 and t = r - a,
// |t| <= 2^-7: sin(a + t) = sin a + t cos a + sin a (cos t - 1) + cos a (sin t - t), and
// cos(a + t) likewise. The small parts need only double precision; the result is good to about
// 2^-68.
DD sin_cos_table(DD r, bool cosine) {
    const int i = static_cast<int>(r.hi * 64.0 + 0.5);
    const TableEntry& e = kTable[static_cast<std::size_t>(i)];
    const double th = r.hi - i / 64.0;  // exact
    const double tl = r.lo;
    // Where t is small, tl is not small beside it: t to double precision for the small parts.
    const double t = th + tl;
    const double z = t * t;
    const double sm = t * z * (-1.0 / 6 + z * (1.0 / 120 + z * (-1.0 / 5040 + z * (1.0 / 362880))));
    const double cm = z * (-0.5 + z * (1.0 / 24 + z * (-1.0 / 720 + z * (1.0 / 40320))));
    // Lead with f(a) and f'(a) t, f = sin or cos, f' = cos or -sin.
    const DD f = cosine ? e.cos : e.sin;
    const DD g = cosine ? DD{-e.sin.hi, -e.sin.lo} : e.cos;
    const DD p = two_prod(g.hi, th);
    const DD s = two_sum(f.hi, p.hi);
    const double lo = s.lo + p.lo + f.lo + (g.hi * tl + g.lo * th) + (f.hi * cm + g.hi * sm);
    return fast_two_sum(s.hi, lo);
}

// 2 / pi, and pi / 2 in five pieces: the first three with at most 32 significant bits, so that
// their products with |k| < 2^20 are exact. Together they hold pi / 2 to about 2^-214.
constexpr double kTwoOverPi = 0x1.45f306dc9c883p-1;
constexpr double kHalfPi1 = 0x1.921fb544p+0;
constexpr double kHalfPi2 = 0x1.0b4611a6p-34;
constexpr double kHalfPi3 = 0x1.3198a2ep-69;
constexpr double kHalfPi4 = 0x1.b839a252049c1p-104;
constexpr double kHalfPi5 = 0x1.14cf98e804178p-160;

// Below pi/4 (rounded down) x is its own reduced argument.
constexpr double kQuarterPi = 0x1.921fb54442d18p-1;

// The fast path takes |x| below this, where k = x 2/pi has at most 20 bits.
constexpr double kFastLimit = 0x1p20;

// Relative error bounds of the table's and the series' results, each well above what they
// reach (about 2^-68 and 2^-102), so that a rounding they call safe is.
constexpr double kTableError = 0x1p-63;
constexpr double kSeriesError = 0x1p-95;

// Which of +sin, +cos, -sin, -cos of r gives sin (or cos) of x = r + k pi/2.
int quadrant_case(long long k, bool cosine) {
    return static_cast<int>((k + (cosine ? 1 : 0)) & 3);
}

std::uint64_t bits_of(double x) {
    std::uint64_t b;
    std::memcpy(&b, &x, sizeof b);
    return b;
}

double from_bits(std::uint64_t b) {
    double x;
    std::memcpy(&x, &b, sizeof x);
    return x;
}

// Whether v.hi is the double nearest every value within err of v.hi + v.lo (v.hi != 0).
bool rounds_safely(DD v, double err) {
    const double a = std::fabs(v.hi);
    // The neighbour on lo's side; with lo = 0 the nearer one, below.
    const bool away = v.lo != 0.0 && (v.lo > 0.0) == (v.hi > 0.0);
    const double gap = away ? from_bits(bits_of(a) + 1) - a : a - from_bits(bits_of(a) - 1);
    return std::fabs(v.lo) + err < 0.5 * gap;
}

// The fast path: false when its value is too close to the middle of two doubles to decide.
// The table decides nearly every argument; the series takes the rest but one in about 2^40.
bool fast_sin_cos(double x, bool cosine, double* out) {
    double k = 0.0;
    DD r = {x, 0.0};
    if (std::fabs(x) > kQuarterPi) {
        k = x * kTwoOverPi;
        k = (k + 0x1.8p52) - 0x1.8p52;  // the nearest integer
        // x - k p1 is exact (Sterbenz), and so are k p1, k p2 and k p3; k p4 + k p5 is below
        // 2^-83 and its rounding error below 2^-135.
        const DD s = two_sum(x - k * kHalfPi1, -(k * kHalfPi2));
        const DD u = two_sum(s.hi, -(k * kHalfPi3));
        r = fast_two_sum(u.hi, (s.lo + u.lo) - (k * kHalfPi4 + k * kHalfPi5));
    }
    const int c = quadrant_case(static_cast<long long>(k), cosine);
    // sin is odd and cos even: work with |r|.
    bool minus = c >= 2;
    if (r.hi < 0.0) {
        r = {-r.hi, -r.lo};
        if (c % 2 == 0) minus = !minus;
    }
    DD v = sin_cos_table(r, c % 2 == 1);
    if (!rounds_safely(v, v.hi * kTableError)) {
        v = c % 2 == 1 ? cos_series(r) : sin_series(r);
        if (!rounds_safely(v, v.hi * kSeriesError)) return false;
    }
    *out = minus ? -v.hi : v.hi;
    return true;
}

// ---- Arbitrary precision: unsigned fixed-point numbers in 32-bit limbs, least significant
// first; a number with f fractional limbs has the value sum limb[i] 2^(32 (i - f)). Every
// operation truncates, and the error bounds below count the units of the last limb.

using Limbs = std::vector<std::uint32_t>;

bool is_zero(const Limbs& a) {
    for (std::uint32_t v : a)
        if (v != 0) return false;
    return true;
}

// -1, 0 or 1 as a < b, a == b, a > b (equal lengths).
int compare(const Limbs& a, const Limbs& b) {
    for (std::size_t i = a.size(); i-- > 0;)
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    return 0;
}

void add_to(Limbs& a, const Limbs& b) {
    std::uint64_t carry = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        carry += static_cast<std::uint64_t>(a[i]) + b[i];
        a[i] = static_cast<std::uint32_t>(carry);
        carry >>= 32;
    }
}

void add_small(Limbs& a, std::uint32_t v) {
    std::uint64_t carry = v;
    for (std::size_t i = 0; i < a.size() && carry != 0; ++i) {
        carry += a[i];
        a[i] = static_cast<std::uint32_t>(carry);
        carry >>= 32;
    }
}

// a -= b, with a >= b.
void subtract_from(Limbs& a, const Limbs& b) {
    std::uint64_t borrow = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const std::uint64_t d = static_cast<std::uint64_t>(a[i]) - b[i] - borrow;
        a[i] = static_cast<std::uint32_t>(d);
        borrow = (d >> 32) & 1;
    }
}

void multiply_small(Limbs& a, std::uint32_t v) {
    std::uint64_t carry = 0;
    for (std::uint32_t& limb : a) {
        carry += static_cast<std::uint64_t>(limb) * v;
        limb = static_cast<std::uint32_t>(carry);
        carry >>= 32;
    }
}

void divide_small(Limbs& a, std::uint32_t v) {
    std::uint64_t rest = 0;
    for (std::size_t i = a.size(); i-- > 0;) {
        const std::uint64_t cur = (rest << 32) | a[i];
        a[i] = static_cast<std::uint32_t>(cur / v);
        rest = cur % v;
    }
}

// a = 2a + bit.
void double_plus(Limbs& a, std::uint32_t bit) {
    for (std::uint32_t& limb : a) {
        const std::uint32_t out = limb >> 31;
        limb = (limb << 1) | bit;
        bit = out;
    }
}

// The product of two numbers of f fractional limbs, truncated to f fractional limbs and to the
// length of a.
Limbs multiply(const Limbs& a, const Limbs& b, std::size_t f) {
    std::vector<std::uint64_t> wide(a.size() + b.size() + 1, 0);
    for (std::size_t i = 0; i < a.size(); ++i) {
        std::uint64_t carry = 0;
        for (std::size_t j = 0; j < b.size(); ++j) {
            carry += wide[i + j] + static_cast<std::uint64_t>(a[i]) * b[j];
            wide[i + j] = static_cast<std::uint32_t>(carry);
            carry >>= 32;
        }
        wide[i + b.size()] += carry;
    }
    Limbs p(a.size());
    for (std::size_t i = 0; i < p.size(); ++i) p[i] = static_cast<std::uint32_t>(wide[i + f]);
    return p;
}

// atan(1 / n) with f fractional limbs (and one integer limb) by its series; off by at most
// 2 units per term.
Limbs atan_inverse(std::uint32_t n, std::size_t f) {
    Limbs power(f + 1, 0);
    power[f] = 1;
    divide_small(power, n);
    Limbs sum = power;
    for (std::uint32_t k = 1;; ++k) {
        divide_small(power, n * n);
        if (is_zero(power)) return sum;
        Limbs term = power;
        divide_small(term, 2 * k + 1);
        if (k % 2 == 1) {
            subtract_from(sum, term);
        } else {
            add_to(sum, term);
        }
    }
}

// pi / 2 = 8 atan(1/5) - 2 atan(1/239) (Machin) with f fractional limbs, within one unit of the
// exact value: the series' errors stay inside a guard limb that is then dropped.
Limbs half_pi(std::size_t f) {
    Limbs a = atan_inverse(5, f + 1);
    Limbs b = atan_inverse(239, f + 1);
    multiply_small(a, 8);
    multiply_small(b, 2);
    subtract_from(a, b);
    a.erase(a.begin());
    return a;
}

// sin r (or cos r) for 0 <= r <= pi/4 with f fractional limbs; *error gets the bound of its
// error in units, r's own error of `r_error` units included.
Limbs sin_cos_fixed(const Limbs& r, bool cosine, std::size_t f, std::uint32_t r_error,
                    std::uint32_t* error) {
    const Limbs z = multiply(r, r, f);
    Limbs term(r.size(), 0);
    if (cosine) {
        term[f] = 1;
    } else {
        term = r;
    }
    Limbs sum = term;
    std::uint32_t terms = 0;
    for (std::uint32_t k = 1;; ++k) {
        term = multiply(term, z, f);
        divide_small(term, cosine ? (2 * k - 1) * (2 * k) : (2 * k) * (2 * k + 1));
        if (is_zero(term)) break;
        if (k % 2 == 1) {
            subtract_from(sum, term);
        } else {
            add_to(sum, term);
        }
        terms = k;
    }
    // Each term is off by at most a few units (z < 1 and the divisions shrink what came
    // before); r's error moves the sum by at most as much, as |d sin/dr| <= 1.
    *error = 8 * (terms + 2) + 2 * r_error;
    return sum;
}

bool bit_at(const Limbs& a, long long i) {
    return ((a[static_cast<std::size_t>(i / 32)] >> (i % 32)) & 1) != 0;
}

// y with f fractional limbs (y > 0, off by at most `error` units) rounded to the nearest
// double, or false when [y - error, y + error] holds a point where the rounding changes.
bool round_fixed(const Limbs& y, std::size_t f, std::uint32_t error, double* out) {
    long long top = static_cast<long long>(y.size()) * 32 - 1;
    while (top >= 0 && !bit_at(y, top)) --top;
    // The error must stay below a quarter of the ulp, so that a value just above a power of
    // two cannot round to the double below it either.
    if (top < 64 + 53) return false;
    std::uint64_t mantissa = 0;
    for (long long i = top; i > top - 53; --i) mantissa = (mantissa << 1) | (bit_at(y, i) ? 1 : 0);
    Limbs rest = y;
    for (long long i = top; i > top - 53; --i)
        rest[static_cast<std::size_t>(i / 32)] &= ~(std::uint32_t{1} << (i % 32));
    Limbs half(y.size(), 0);
    const long long h = top - 53;
    half[static_cast<std::size_t>(h / 32)] = std::uint32_t{1} << (h % 32);
    Limbs rest_high = rest;
    add_small(rest_high, error);
    Limbs half_high = half;
    add_small(half_high, error);
    if (compare(rest_high, half) < 0) {
        // rounds down
    } else if (compare(rest, half_high) > 0) {
        ++mantissa;
    } else {
        return false;
    }
    *out = std::ldexp(static_cast<double>(mantissa),
                      static_cast<int>(top - 52 - 32 * static_cast<long long>(f)));
    return true;
}

// The slow path for |x| >= 2^-27, finite: at growing precision until the rounding is sure.
double slow_sin_cos(double x, bool cosine) {
    const std::uint64_t b = bits_of(x);
    const bool negative = (b >> 63) != 0;
    const int biased = static_cast<int>((b >> 52) & 0x7ff);
    const std::uint64_t m = (b & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
    const long long e = biased - 1075;  // |x| = m 2^e; e >= -79 here
    for (std::size_t f = 6;; f *= 2) {
        // pi/2 with enough limbs that its error, times the quotient |x| / (pi/2) < 2^(e + 54),
        // stays below one unit of r's f limbs.
        const std::size_t g = f + 1 + static_cast<std::size_t>(e + 53 > 0 ? (e + 53 + 31) / 32 : 0);
        const Limbs p = half_pi(g);
        // |x| = q pi/2 + r, 0 <= r < pi/2, by long division of m 2^(e + 32 g) by p, one bit
        // at a time; only q mod 4 is kept.
        Limbs r(g + 1, 0);
        unsigned q = 0;
        const long long shift = e + 32 * static_cast<long long>(g);
        for (long long i = shift + 52; i >= 0; --i) {
            double_plus(r, i >= shift ? static_cast<std::uint32_t>((m >> (i - shift)) & 1) : 0);
            q <<= 1;
            if (compare(r, p) >= 0) {
                subtract_from(r, p);
                q |= 1;
            }
        }
        // Beyond pi/4, take r - pi/2 (negated) with one quadrant more.
        bool reflected = false;
        Limbs twice = r;
        double_plus(twice, 0);
        if (compare(twice, p) > 0) {
            Limbs t = p;
            subtract_from(t, r);
            r = t;
            ++q;
            reflected = true;
        }
        r.erase(r.begin(), r.begin() + static_cast<std::ptrdiff_t>(g - f));
        const int c = quadrant_case(q, cosine);
        std::uint32_t error = 0;
        const Limbs v = sin_cos_fixed(r, c % 2 == 1, f, 2, &error);
        double y;
        if (!is_zero(v) && round_fixed(v, f, error, &y)) {
            // sin is odd, cos even: the reflection and x's sign flip sin r only.
            bool minus = c >= 2;
            if (c % 2 == 0 && reflected) minus = !minus;
            if (!cosine && negative) minus = !minus;
            return minus ? -y : y;
        }
    }
}

enum class Path { fast_first, slow_only };

double sin_cos(double x, bool cosine, Path path) {
    if (!std::isfinite(x)) return x - x;
    const double a = std::fabs(x);
    // Below these, sin x = x (1 - x^2/6 ...) and cos x = 1 - x^2/2 ... are nearer x and 1 than
    // to any other double.
    if (!cosine && a < 0x1p-26) return x;
    if (cosine && a < 0x1p-27) return 1.0;
    double y;
    if (path == Path::fast_first && a < kFastLimit && fast_sin_cos(x, cosine, &y)) return y;
    return slow_sin_cos(x, cosine);
}

}  // namespace

double sin_rounded(double x) {
    return sin_cos(x, false, Path::fast_first);
}

double cos_rounded(double x) {
    return sin_cos(x, true, Path::fast_first);
}

double sin_rounded_slowly(double x) {
    return sin_cos(x, false, Path::slow_only);
}

double cos_rounded_slowly(double x) {
    return sin_cos(x, true, Path::slow_only);
}
