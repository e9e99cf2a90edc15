#pragma once

#include <cstdint>
#include <vector>

namespace pv {

// Drives both far ends of a line at once, as two busy devices would: writes its bytes into each
// end in chunks of 1 to 65536 bytes, never blocking, while it reads whatever the other end
// brings. Ends when everything expected has arrived or nothing moved for stallMs.
struct TwoWayResult {
    std::vector<uint8_t> atA;  // what arrived at end A
    std::vector<uint8_t> atB;
};

TwoWayResult pumpBothWays(int endA, int endB, const std::vector<uint8_t>& intoA,
                          const std::vector<uint8_t>& intoB, unsigned seed, int stallMs = 10000);

}  // namespace pv
