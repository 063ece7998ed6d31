#include "app/record_grid_view.h"

#include <QHeaderView>
#include <QPainter>
#include <QStackedWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/paging_bar.h"

namespace tollamer::app {

namespace {

// The empty pane: white, with the program's emblem drawn twice side by side.
class EmptyPane : public QWidget {
 public:
  using QWidget::QWidget;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    QFont font = p.font();
    font.setPointSize(28);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(0xDD, 0xE4, 0xEE));
    for (int i = 0; i < 2; ++i) p.drawText(QRect(24 + i * 260, 24, 260, 80), Qt::AlignLeft, "Tollamer");
  }
};

}  // namespace

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
  stack_ = new QStackedWidget(this);
  empty_ = new EmptyPane(stack_);
  stack_->addWidget(grid_);
  stack_->addWidget(empty_);
  layout->addWidget(stack_, 1);
  ShowEmpty(true);
}

void CRfview::ShowEmpty(bool empty) { stack_->setCurrentWidget(empty ? empty_ : grid_); }
bool CRfview::IsEmptyShown() const { return stack_->currentWidget() == empty_; }

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
