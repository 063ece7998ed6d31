// PNG: the 8-byte signature, then chunks of (length, type, data, CRC-32 of
// type and data). IHDR: width, height, bit depth 8, colour type 2 (RGB);
// IDAT: zlib stream of rows, each prefixed with filter byte 0; IEND. The
// cells fill the top of the picture, the legend the strip under them.
#include "tools/page_map_png.h"

#include "tools/page_map_legend.h"

#include <zlib.h>

#include <algorithm>

namespace tollamer::tools {
namespace {

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr uint8_t kColourTypeRgb = 2;
constexpr uint8_t kBitDepth = 8;
constexpr Rgb kGapColour = {40, 40, 40};

void PutBe32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

void Chunk(std::vector<uint8_t>& out, const char type[4], const std::vector<uint8_t>& data) {
  PutBe32(out, static_cast<uint32_t>(data.size()));
  size_t crc_from = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  uLong crc = crc32(0L, out.data() + crc_from, static_cast<uInt>(out.size() - crc_from));
  PutBe32(out, static_cast<uint32_t>(crc));
}

}  // namespace

Rgb KindColour(PageKind kind) {
  switch (kind) {
    case PageKind::kNull: return {235, 235, 235};
    case PageKind::kErr: return {220, 30, 30};
    case PageKind::kData: return {40, 120, 220};
    case PageKind::kIndex: return {40, 180, 80};
    case PageKind::kLob: return {240, 160, 30};
    case PageKind::kFileHeader: return {130, 0, 160};
    case PageKind::kPfs: return {0, 170, 170};
    case PageKind::kGam: return {200, 200, 0};
    case PageKind::kSgam: return {160, 160, 0};
    case PageKind::kDiffMap: return {120, 80, 40};
    case PageKind::kMlMap: return {170, 110, 70};
    case PageKind::kBoot: return {255, 0, 200};
    case PageKind::kIam: return {0, 60, 120};
  }
  return {0, 0, 0};
}

std::vector<uint8_t> EncodePageMapPng(const PageMap& map, const MapPictureLayout& layout) {
  if (map.cells.empty() || layout.cellsPerRow == 0 || layout.cellPixels < 2) return {};
  size_t columns = std::min(layout.cellsPerRow, map.cells.size());
  size_t rows = (map.cells.size() + columns - 1) / columns;
  size_t cells_width = columns * layout.cellPixels;
  size_t cells_height = rows * layout.cellPixels;
  size_t width = std::max(cells_width, LegendEntryWidth());
  size_t height = cells_height + LegendHeight(width, map.pagesPerCell);
  Canvas canvas(width, height, Rgb{255, 255, 255});
  for (size_t i = 0; i < map.cells.size(); ++i) {
    size_t x = (i % columns) * layout.cellPixels;
    size_t y = (i / columns) * layout.cellPixels;
    // The cell's last column and row are the gap to its neighbours.
    canvas.Fill(x, y, layout.cellPixels, layout.cellPixels, kGapColour);
    canvas.Fill(x, y, layout.cellPixels - 1, layout.cellPixels - 1, KindColour(map.cells[i]));
  }
  DrawLegend(canvas, cells_height, map.pagesPerCell);

  size_t stride = 1 + width * 3;
  std::vector<uint8_t> raw(stride * height, 0);
  for (size_t y = 0; y < height; ++y) {
    uint8_t* line = raw.data() + y * stride;
    line[0] = 0;  // filter: none
    for (size_t x = 0; x < width; ++x) {
      Rgb c = canvas.pixels[y * width + x];
      line[1 + x * 3] = c.r;
      line[2 + x * 3] = c.g;
      line[3 + x * 3] = c.b;
    }
  }
  uLongf packed_size = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> packed(packed_size);
  if (compress2(packed.data(), &packed_size, raw.data(), static_cast<uLong>(raw.size()), 6) != Z_OK)
    return {};
  packed.resize(packed_size);

  std::vector<uint8_t> png(std::begin(kPngSignature), std::end(kPngSignature));
  std::vector<uint8_t> ihdr;
  PutBe32(ihdr, static_cast<uint32_t>(width));
  PutBe32(ihdr, static_cast<uint32_t>(height));
  ihdr.insert(ihdr.end(), {kBitDepth, kColourTypeRgb, 0, 0, 0});
  Chunk(png, "IHDR", ihdr);
  Chunk(png, "IDAT", packed);
  Chunk(png, "IEND", {});
  return png;
}

bool SavePageMapPng(const PageMap& map, const std::string& path, std::string& error,
                    const MapPictureLayout& layout) {
  std::vector<uint8_t> png = EncodePageMapPng(map, layout);
  if (png.empty()) {
    error = "the file holds no whole page";
    return false;
  }
  platform::CreateResult out = platform::CreateOutputFile(path);
  if (!out.file) {
    error = out.message;
    return false;
  }
  if (!out.file->Write(png) || !out.file->Commit()) {
    error = out.file->Error();
    return false;
  }
  return true;
}

}  // namespace tollamer::tools
