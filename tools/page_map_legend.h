// The legend under the page map picture: a swatch and the name of each page
// kind, and the pages per cell when a cell stands for more than one page.
// Texts are drawn with a 5 x 7 pixel font of the letters and digits they use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "tools/page_map_png.h"

namespace tollamer::tools {

// An RGB picture in rows from the top left.
struct Canvas {
  size_t width = 0;
  size_t height = 0;
  std::vector<Rgb> pixels;

  Canvas(size_t w, size_t h, Rgb fill) : width(w), height(h), pixels(w * h, fill) {}
  void Fill(size_t x, size_t y, size_t w, size_t h, Rgb c);
  // Draws `text` with its top left at (x, y); characters the font lacks
  // are left blank.
  void Text(size_t x, size_t y, std::string_view text, Rgb c);
};

// The width of one legend entry, which is also the narrowest picture.
size_t LegendEntryWidth();
// The height of the legend for a picture `width` pixels wide.
size_t LegendHeight(size_t width, uint64_t pages_per_cell);
// Draws the legend into `canvas` from row `top` down.
void DrawLegend(Canvas& canvas, size_t top, uint64_t pages_per_cell);

}  // namespace tollamer::tools
