// The page map of a file detection, drawn in the dialog: one square cell
// per map cell (a page, or a group of pages in large files), coloured by
// kind with the engine's colours, cells in rows from the top left, and a
// legend of the thirteen kinds below.
#pragma once

#include <QWidget>

#include "tools/file_detection.h"

namespace tollamer::app {

// How the cells fit an area: the most cells per row and the largest cell
// (in pixels, one of them the gap) with which every cell fits.
struct PageMapGeometry {
  int cellsPerRow = 0;
  int cellPixels = 0;
  int rows = 0;
};

PageMapGeometry FitPageMap(size_t cells, int width, int height);

class CPageMapView : public QWidget {
  Q_OBJECT
 public:
  explicit CPageMapView(QWidget* parent = nullptr);

  void SetMap(tools::PageMap map);
  void Clear();
  const tools::PageMap& map() const { return map_; }
  QSize sizeHint() const override;

  // The height of the legend strip under the cells.
  static constexpr int kLegendHeight = 54;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  tools::PageMap map_;
};

}  // namespace tollamer::app
