#pragma once
// The widths the web pane shows a page at (スマートフォン, タブレット, PC):
// the page is laid out at a width in CSS pixels in a view centred in the
// pane, zoomed for the device's pixel ratio as far as the pane has room,
// and further down where the pane is narrower than the width. No Qt here.
namespace hemlo {

// "PreviewWidth=" in Editor.ini: CSS pixels, 0 for the pane's own width.
inline constexpr int kPreviewPc = 0;
inline constexpr int kPreviewTablet = 768;
inline constexpr int kPreviewPhone = 375;

struct PreviewGeometry {
  int x = 0;          // of the view in the pane
  int width = 0;      // of the view, in the pane's pixels
  double zoom = 1.0;  // the view's zoom: CSS pixel to pane pixels
};

// The view's place in a pane `pane_width` pixels wide. The zoom steps by
// 1/5 (tablet: 1/4) so that the view's width over the zoom is the width
// exactly, and never goes below 1/5.
PreviewGeometry PreviewGeometryFor(int pane_width, int css_width);

// The device pixel ratio shown for a width: 2 for the phone, else 1.
int PreviewPixelRatio(int css_width);

// A stored width, or kPreviewPc for anything else.
int PreviewWidthFromSetting(int value);

}  // namespace hemlo
