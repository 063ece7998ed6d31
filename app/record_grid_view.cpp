#include "app/record_grid_view.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPainter>
#include <QStackedWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

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
  // Every cell can be read and copied whole: a double click or Enter shows
  // it, Ctrl+C copies it, the context menu also copies the selected rows.
  grid_->setContextMenuPolicy(Qt::ActionsContextMenu);
  auto* view_cell = new QAction(QString::fromUtf8("查看单元格"), grid_);
  view_cell->setShortcut(QKeySequence(Qt::Key_Return));
  auto* copy_cell = new QAction(QString::fromUtf8("复制单元格"), grid_);
  copy_cell->setShortcut(QKeySequence::Copy);
  auto* copy_rows = new QAction(QString::fromUtf8("复制选中行"), grid_);
  copy_rows->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
  for (QAction* a : {view_cell, copy_cell, copy_rows}) {
    a->setShortcutContext(Qt::WidgetShortcut);
    grid_->addAction(a);
  }
  connect(view_cell, &QAction::triggered, this, &CRfview::ShowCell);
  connect(copy_cell, &QAction::triggered, this, &CRfview::CopyCell);
  connect(copy_rows, &QAction::triggered, this, &CRfview::CopyRows);
  connect(grid_, &QTableWidget::cellDoubleClicked, this, [this] { ShowCell(); });
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(bar_);
  reason_ = new QLabel(this);
  reason_->setWordWrap(true);
  reason_->setContentsMargins(8, 6, 8, 6);
  reason_->setStyleSheet("background: #fff8dc; color: #6b4000;");
  reason_->hide();
  layout->addWidget(reason_);
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
  SetEmptyReason({});
}

void CRfview::SetEmptyReason(const QString& text) {
  reason_->setText(text);
  reason_->setVisible(!text.isEmpty());
}

QString CRfview::EmptyReason() const { return reason_->text(); }

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

void CRfview::FitColumns() {
  QHeaderView* header = grid_->horizontalHeader();
  for (int c = 0; c < grid_->columnCount(); ++c) {
    grid_->resizeColumnToContents(c);
    int width = std::max(grid_->columnWidth(c), header->sectionSizeHint(c));
    grid_->setColumnWidth(c, std::min(width, kMaxColumnWidth));
  }
}

void CRfview::CopyCell() const {
  if (const QTableWidgetItem* item = grid_->currentItem())
    QApplication::clipboard()->setText(item->text());
}

void CRfview::CopyRows() const {
  QStringList lines;
  QModelIndexList rows = grid_->selectionModel()->selectedRows();
  std::sort(rows.begin(), rows.end());
  for (const QModelIndex& index : rows) {
    QStringList cells;
    for (int c = 0; c < grid_->columnCount(); ++c) {
      const QTableWidgetItem* item = grid_->item(index.row(), c);
      cells << (item ? item->text() : QString());
    }
    lines << cells.join('\t');
  }
  if (!lines.isEmpty()) QApplication::clipboard()->setText(lines.join('\n'));
}

void CRfview::ShowCell() {
  const QTableWidgetItem* item = grid_->currentItem();
  if (!item) return;
  if (!cell_box_) {
    cell_box_ = new QDialog(this);
    cell_text_ = new QPlainTextEdit(cell_box_);
    cell_text_->setReadOnly(true);
    auto* layout = new QVBoxLayout(cell_box_);
    layout->addWidget(cell_text_);
    cell_box_->resize(560, 320);
  }
  const QTableWidgetItem* title = grid_->horizontalHeaderItem(item->column());
  cell_box_->setWindowTitle(QString::fromUtf8("第 %1 行 ").arg(item->row() + 1) +
                            (title ? title->text() : QString()));
  cell_text_->setPlainText(item->text());
  cell_text_->selectAll();
  cell_box_->show();
  cell_box_->raise();
}

}  // namespace tollamer::app
