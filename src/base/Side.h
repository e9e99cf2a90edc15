#pragma once

namespace pv {

// The two sides of the line.
enum class Side { A, B };

inline char sideLetter(Side side) {
    return side == Side::A ? 'A' : 'B';
}
inline Side otherSide(Side side) {
    return side == Side::A ? Side::B : Side::A;
}

}  // namespace pv
