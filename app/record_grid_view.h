// CRfview: the right pane: the paging bar over the record grid.
#pragma once

#include <QWidget>

#include <string>
#include <vector>

class QDialog;
class QLabel;
class QPlainTextEdit;
class QStackedWidget;
class QTableWidget;

namespace tollamer::app {

class CDlgBar;

class CRfview : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kIdList = 1002;

  explicit CRfview(QWidget* parent = nullptr);

  CDlgBar* pagingBar() const { return bar_; }
  QTableWidget* grid() const { return grid_; }

  // Rows, then every column, and the empty grid's reason.
  void Clear();
  // Why a table's grid is empty, shown above it (hidden when empty).
  void SetEmptyReason(const QString& text);
  QString EmptyReason() const;
  void SetColumns(const std::vector<std::pair<std::string, int>>& titles_and_widths);
  void AddRow(const std::vector<std::string>& cells);
  // Sizes every column to its title and cells, up to kMaxColumnWidth.
  void FitColumns();
  // The current cell's whole text, and the selected rows as tab-separated
  // lines, to the clipboard.
  void CopyCell() const;
  void CopyRows() const;
  // Shows the current cell's whole text in a box it can be selected from.
  void ShowCell();

  static constexpr int kMaxColumnWidth = 360;
  // While nothing is selected in the tree the grid is hidden and the pane
  // shows its empty picture.
  void ShowEmpty(bool empty);
  bool IsEmptyShown() const;

 private:
  CDlgBar* bar_;
  QTableWidget* grid_;
  QStackedWidget* stack_;
  QLabel* reason_;
  QWidget* empty_;
  QDialog* cell_box_ = nullptr;
  QPlainTextEdit* cell_text_ = nullptr;
};

}  // namespace tollamer::app
