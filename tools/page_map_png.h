// A picture of a page map: one square cell per map cell, coloured by kind,
// in rows of a fixed number of cells, over a legend of the kinds' colours,
// encoded as an RGB PNG.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/file_detection.h"

namespace tollamer::tools {

struct Rgb {
  uint8_t r, g, b;
};

// The colour of each kind in the picture.
Rgb KindColour(PageKind kind);

struct MapPictureLayout {
  size_t cellsPerRow = 128;
  size_t cellPixels = 6;  // including a one-pixel gap at the right and bottom
};

// The PNG bytes of the picture; empty for a map without cells.
std::vector<uint8_t> EncodePageMapPng(const PageMap& map, const MapPictureLayout& layout = {});

// Writes the picture to `path` (temporary name, renamed when complete).
// False with `error` set when the file cannot be written.
bool SavePageMapPng(const PageMap& map, const std::string& path, std::string& error,
                    const MapPictureLayout& layout = {});

}  // namespace tollamer::tools
