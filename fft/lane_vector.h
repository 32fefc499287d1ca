#pragma once
// The vector of a lane file (lanes.h): kLanes doubles held in Parts registers of the
// instruction set's width (Part, a GCC vector of kLanes / Parts doubles). A vector wider than
// the registers would be split by the compiler through memory, several times slower; this one
// lets each operation be one instruction per register. Every operator works lane by lane, so
// each lane still sees exactly the double operations.
//
// Tag is a type of the including file's anonymous namespace. It makes each file's vector a
// type of its own, so the templates instantiated with it are private to that file and the
// linker cannot merge code compiled for a wider instruction set into another file's.

template <class Part, int Parts, class Tag>
struct LaneVector {
    Part p[Parts];
};

template <class Part, int Parts, class Tag>
[[gnu::always_inline]] inline LaneVector<Part, Parts, Tag> operator+(
    LaneVector<Part, Parts, Tag> a, LaneVector<Part, Parts, Tag> b) {
    for (int i = 0; i < Parts; ++i) a.p[i] = a.p[i] + b.p[i];
    return a;
}

template <class Part, int Parts, class Tag>
[[gnu::always_inline]] inline LaneVector<Part, Parts, Tag> operator-(
    LaneVector<Part, Parts, Tag> a, LaneVector<Part, Parts, Tag> b) {
    for (int i = 0; i < Parts; ++i) a.p[i] = a.p[i] - b.p[i];
    return a;
}

template <class Part, int Parts, class Tag>
[[gnu::always_inline]] inline LaneVector<Part, Parts, Tag> operator-(
    LaneVector<Part, Parts, Tag> a) {
    for (int i = 0; i < Parts; ++i) a.p[i] = -a.p[i];
    return a;
}

template <class Part, int Parts, class Tag>
[[gnu::always_inline]] inline LaneVector<Part, Parts, Tag> operator*(
    LaneVector<Part, Parts, Tag> a, double c) {
    for (int i = 0; i < Parts; ++i) a.p[i] = a.p[i] * c;
    return a;
}

template <class Part, int Parts, class Tag>
[[gnu::always_inline]] inline LaneVector<Part, Parts, Tag> operator*(
    double c, LaneVector<Part, Parts, Tag> a) {
    for (int i = 0; i < Parts; ++i) a.p[i] = c * a.p[i];
    return a;
}
