// The plot's vertical scale after a resize.
#include "display/display_settings.h"

#include "analysis/numeric.h"

namespace kestrel {

std::int32_t levelsPerPixelFor(std::int32_t plotHeight, std::int32_t previous) {
  if (plotHeight <= 0) return previous;
  // 18022.4 is 1.1 x 16384: full scale a little below the top.
  const std::int64_t lpp = truncToInt64(18022.4L / plotHeight);
  // A plot taller than 18022 rows would give 0; one level per row is the finest scale.
  return lpp < 1 ? 1 : static_cast<std::int32_t>(lpp);
}

}  // namespace kestrel
