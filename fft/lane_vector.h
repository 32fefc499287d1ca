#pragma once
// The vector of a lane file (lanes.h) on processors whose registers hold fewer than kLanes
// doubles: kLanes doubles held in Parts registers (Part, a GCC vector of kLanes / Parts
// doubles). A plain vector wider than the registers would be split by the compiler through
// memory, several times slower; this one lets each operation be one instruction per register.
// Every operator works lane by lane, so each lane still sees exactly the double operations.
// Where one register holds all kLanes, the plain vector is faster than this record around it.
//
// In an anonymous namespace, like the templates it is used with (fft_template.h): every file
// has a type and operators of its own.

namespace {

template <class Part, int Parts>
struct LaneVector {
    Part p[Parts];
};

template <class Part, int Parts>
[[gnu::always_inline]] inline LaneVector<Part, Parts> operator+(LaneVector<Part, Parts> a,
                                                                LaneVector<Part, Parts> b) {
    for (int i = 0; i < Parts; ++i) a.p[i] = a.p[i] + b.p[i];
    return a;
}

template <class Part, int Parts>
[[gnu::always_inline]] inline LaneVector<Part, Parts> operator-(LaneVector<Part, Parts> a,
                                                                LaneVector<Part, Parts> b) {
    for (int i = 0; i < Parts; ++i) a.p[i] = a.p[i] - b.p[i];
    return a;
}

template <class Part, int Parts>
[[gnu::always_inline]] inline LaneVector<Part, Parts> operator-(LaneVector<Part, Parts> a) {
    for (int i = 0; i < Parts; ++i) a.p[i] = -a.p[i];
    return a;
}

template <class Part, int Parts>
[[gnu::always_inline]] inline LaneVector<Part, Parts> operator*(LaneVector<Part, Parts> a,
                                                                double c) {
    for (int i = 0; i < Parts; ++i) a.p[i] = a.p[i] * c;
    return a;
}

template <class Part, int Parts>
[[gnu::always_inline]] inline LaneVector<Part, Parts> operator*(double c,
                                                                LaneVector<Part, Parts> a) {
    for (int i = 0; i < Parts; ++i) a.p[i] = c * a.p[i];
    return a;
}

}  // namespace
