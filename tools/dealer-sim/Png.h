#pragma once

#include <cstdint>
#include <string>

namespace dealersim {

// A small RGB PNG: a solid background with a lighter band across the middle
// (enough for a logo that tests and screens can tell apart). The image data
// is deflated as stored blocks, so no compression library is needed.
std::string makePng(int width, int height, uint32_t rgb);

}  // namespace dealersim
