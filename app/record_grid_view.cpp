#include "app/record_grid_view.h"

#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/paging_bar.h"

namespace tollamer::app {

CRfview::CRfview(QWidget* parent) : QWidget(parent) {
  bar_ = new CDlgBar(this);
  grid_ = new QTableWidget(this);
  grid_->setObjectName(QString::number(kIdList));
  grid_->setShowGrid(true);
  grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->horizontalHeader()->setSectionsMovable(true);
  grid_->verticalHeader()->setVisible(false);
  grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 6);
  grid_->setWordWrap(false);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(bar_);
  layout->addWidget(grid_, 1);
}

void CRfview::Clear() {
  grid_->setRowCount(0);
  grid_->setColumnCount(0);
}

void CRfview::SetColumns(const std::vector<std::pair<std::string, int>>& columns) {
  grid_->setColumnCount(static_cast<int>(columns.size()));
  QStringList titles;
  for (const auto& [title, width] : columns) titles << QString::fromStdString(title);
  grid_->setHorizontalHeaderLabels(titles);
  for (size_t i = 0; i < columns.size(); ++i)
    grid_->setColumnWidth(static_cast<int>(i), columns[i].second);
}

void CRfview::AddRow(const std::vector<std::string>& cells) {
  int row = grid_->rowCount();
  grid_->insertRow(row);
  for (size_t i = 0; i < cells.size() && static_cast<int>(i) < grid_->columnCount(); ++i)
    grid_->setItem(row, static_cast<int>(i), new QTableWidgetItem(QString::fromStdString(cells[i])));
}

}  // namespace tollamer::app
