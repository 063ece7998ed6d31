#include "app/tool_page_map_view.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

#include "tools/page_map_png.h"

namespace tollamer::app {

namespace {

constexpr int kMaxCellPixels = 16;
constexpr int kLegendColumns = 5;
constexpr int kLegendRowHeight = 18;

QColor ColourOf(tools::PageKind kind) {
  tools::Rgb c = tools::KindColour(kind);
  return QColor(c.r, c.g, c.b);
}

}  // namespace

PageMapGeometry FitPageMap(size_t cells, int width, int height) {
  PageMapGeometry g;
  if (cells == 0 || width <= 0 || height <= 0) return g;
  // Start from the cell size that would fill the area and shrink until
  // every row fits.
  double ideal = std::sqrt(static_cast<double>(width) * height / static_cast<double>(cells));
  int pixels = std::clamp(static_cast<int>(ideal), 1, kMaxCellPixels);
  for (; pixels > 1; --pixels) {
    size_t per_row = static_cast<size_t>(width / pixels);
    if (per_row == 0) continue;
    size_t rows = (cells + per_row - 1) / per_row;
    if (rows * static_cast<size_t>(pixels) <= static_cast<size_t>(height)) break;
  }
  g.cellPixels = pixels;
  g.cellsPerRow = std::max(1, width / pixels);
  g.rows = static_cast<int>((cells + g.cellsPerRow - 1) / g.cellsPerRow);
  return g;
}

CPageMapView::CPageMapView(QWidget* parent) : QWidget(parent) {
  setMinimumSize(360, 160 + kLegendHeight);
}

void CPageMapView::SetMap(tools::PageMap map) {
  map_ = std::move(map);
  update();
}

void CPageMapView::Clear() { SetMap({}); }

QSize CPageMapView::sizeHint() const { return {560, 260 + kLegendHeight}; }

void CPageMapView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().color(QPalette::Base));
  int map_height = height() - kLegendHeight;
  PageMapGeometry g = FitPageMap(map_.cells.size(), width() - 2, map_height - 2);
  if (g.cellPixels > 0) {
    int inner = g.cellPixels > 2 ? g.cellPixels - 1 : g.cellPixels;  // one pixel of gap
    for (size_t i = 0; i < map_.cells.size(); ++i) {
      int x = 1 + static_cast<int>(i % static_cast<size_t>(g.cellsPerRow)) * g.cellPixels;
      int y = 1 + static_cast<int>(i / static_cast<size_t>(g.cellsPerRow)) * g.cellPixels;
      p.fillRect(x, y, inner, inner, ColourOf(map_.cells[i]));
    }
  }
  // Legend: a swatch and the kind's name, five to a row.
  int column_width = std::max(1, width() / kLegendColumns);
  for (size_t k = 0; k < tools::kPageKindCount; ++k) {
    tools::PageKind kind = tools::KindAt(k);
    int x = static_cast<int>(k % kLegendColumns) * column_width + 4;
    int y = map_height + static_cast<int>(k / kLegendColumns) * kLegendRowHeight + 3;
    p.fillRect(x, y + 3, 10, 10, ColourOf(kind));
    p.setPen(palette().color(QPalette::Text));
    p.drawRect(x, y + 3, 10, 10);
    p.drawText(QRect(x + 14, y, column_width - 18, kLegendRowHeight), Qt::AlignVCenter,
               QString::fromUtf8(tools::KindName(kind).data(),
                                 static_cast<qsizetype>(tools::KindName(kind).size())));
  }
  if (map_.pagesPerCell > 1 && !map_.cells.empty()) {
    p.setPen(palette().color(QPalette::Text));
    p.drawText(QRect(0, height() - kLegendRowHeight, width() - 4, kLegendRowHeight),
               Qt::AlignRight | Qt::AlignVCenter,
               QString::fromUtf8("每格 %1 页").arg(static_cast<qulonglong>(map_.pagesPerCell)));
  }
}

}  // namespace tollamer::app
