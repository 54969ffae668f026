#include "window/layout.hpp"

#include <windows.h>

namespace tornak {

int TwipsToPixels(int twips, unsigned dpi) { return MulDiv(twips, static_cast<int>(dpi), 1440); }

LayoutRect ScaleToDpi(const LayoutRect& twips, unsigned dpi) {
  return {TwipsToPixels(twips.left, dpi), TwipsToPixels(twips.top, dpi), TwipsToPixels(twips.width, dpi),
          TwipsToPixels(twips.height, dpi)};
}

}  // namespace tornak
