#include "random_range.h"

#include <algorithm>

namespace kivo::runtime {

int32_t nextCrtRandom() {
    thread_local uint32_t state = 1;
    state = state * 214013u + 2531011u;
    return static_cast<int32_t>((state >> 16) & 0x7FFF);
}

int32_t randomInRange(int32_t minimum, int32_t maximum) {
    if (minimum < 0) minimum = 0;
    if (maximum < 0) maximum = 0;
    int64_t lo = std::min(minimum, maximum);
    int64_t hi = std::max(minimum, maximum);
    if (lo == hi) return static_cast<int32_t>(lo);
    int64_t span = hi - lo;
    if (span == 2147483647) span = 2147483646;
    return static_cast<int32_t>(lo + nextCrtRandom() % (span + 1));
}

}  // namespace kivo::runtime
