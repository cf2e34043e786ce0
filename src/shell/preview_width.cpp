#include "shell/preview_width.h"

#include <algorithm>

namespace hemlo {

int PreviewPixelRatio(int css_width) { return css_width == kPreviewPhone ? 2 : 1; }

int PreviewWidthFromSetting(int value) {
  return value == kPreviewPhone || value == kPreviewTablet ? value : kPreviewPc;
}

PreviewGeometry PreviewGeometryFor(int pane_width, int css_width) {
  pane_width = std::max(pane_width, 1);
  if (css_width <= 0) return {0, pane_width, 1.0};
  // Steps whose product with the width is a whole number of pixels: 375/5
  // and 768/4 are.
  const int step = css_width % 5 == 0 ? 5 : 4;
  const int most = PreviewPixelRatio(css_width) * step;
  const int fits = static_cast<int>(static_cast<long long>(pane_width) * step / css_width);
  const int k = std::clamp(fits, 1, most);
  PreviewGeometry g;
  g.zoom = static_cast<double>(k) / step;
  g.width = css_width * k / step;
  g.x = std::max(0, (pane_width - g.width) / 2);
  return g;
}

}  // namespace hemlo
