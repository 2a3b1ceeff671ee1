// The speakers' master volume over the ALSA simple mixer of the default card. The application
// thinks in 0..65535; the element's own range is reached by scaling. Every failure is silent:
// no card or no element leaves the bounds at 0 and every set fails.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sys_volume.h"

namespace kivo::runtime {

// A mixer over the ALSA control device `card` ("default" for the default card).
std::unique_ptr<VolumeMixer> makeAlsaMixer(const std::string& card = "default");

// Makes every accessor created from now on use the ALSA mixer of the default card.
void useAlsaMixer();

// The simple-mixer elements that stand for a line of the given component code, in order of
// preference; empty for codes that have no ALSA counterpart.
std::vector<std::string> alsaElementsFor(uint32_t componentCode);

// `value` (0..65535, larger values count as 65535) scaled to the element range [min, max].
long scaleToElement(uint32_t value, long min, long max);

}  // namespace kivo::runtime
