// The random integer in a range, drawn from the C library's linear congruential generator as
// the program has always drawn it: per thread, state 1 at the start, never seeded, so every
// run yields the same sequence.
#pragma once

#include <cstdint>

namespace kivo::runtime {

// The next output of this thread's generator, 0..32767.
int32_t nextCrtRandom();

// Negative ends count as 0, the ends may come in either order and both are inclusive; equal
// ends give that value without drawing. A span wider than 32768 values never yields its upper
// part.
int32_t randomInRange(int32_t minimum = 0, int32_t maximum = 2147483647);

}  // namespace kivo::runtime
