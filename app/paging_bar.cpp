#include "app/paging_bar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

namespace tollamer::app {

namespace {

QPushButton* Button(QWidget* parent, int id, const char* text) {
  auto* b = new QPushButton(QString::fromUtf8(text), parent);
  b->setObjectName(QString::number(id));
  b->setFlat(true);
  // As wide as its text, not the style's wide minimum for push buttons: the
  // bar must fit the grid's pane whole, its last label included.
  b->setMinimumWidth(0);
  b->setMaximumWidth(b->fontMetrics().horizontalAdvance(b->text()) + 2 * b->fontMetrics().averageCharWidth() + 8);
  return b;
}

QLabel* Field(QWidget* parent, int id) {
  auto* l = new QLabel("0", parent);
  l->setObjectName(QString::number(id));
  // No fixed width: the layout gives the label its whole number (a grid of
  // thousands of pages must not lose its leading digit).
  l->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Preferred);
  l->setContentsMargins(3, 0, 3, 0);
  l->setAlignment(Qt::AlignCenter);
  return l;
}

}  // namespace

CDlgBar::CDlgBar(QWidget* parent) : QWidget(parent) {
  next_ = Button(this, kIdNext, "下一页");
  previous_ = Button(this, kIdPrevious, "上一页");
  first_ = Button(this, kIdFirst, "<<");
  last_ = Button(this, kIdLast, ">>");
  jump_ = Button(this, kIdJump, "跳转");
  edit_ = new QLineEdit(this);
  edit_->setObjectName(QString::number(kIdJumpEdit));
  edit_->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), edit_));
  edit_->setMaximumWidth(60);
  current_ = Field(this, kIdCurrentPage);
  count_ = Field(this, kIdPageCount);
  rows_ = Field(this, kIdRowCount);

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(2, 0, 2, 0);
  auto label = [&](const char* text) { layout->addWidget(new QLabel(QString::fromUtf8(text), this)); };
  layout->addWidget(first_);
  layout->addWidget(previous_);
  layout->addWidget(next_);
  layout->addWidget(last_);
  layout->addWidget(edit_);
  layout->addWidget(jump_);
  layout->addSpacing(12);
  label("当前第");
  layout->addWidget(current_);
  label("页");
  label("共");
  layout->addWidget(count_);
  label("页");
  label("本页记录");
  layout->addWidget(rows_);
  label("条");
  layout->addStretch(1);
  setFixedHeight(23 + 6);

  connect(next_, &QPushButton::clicked, this, &CDlgBar::nextClicked);
  connect(previous_, &QPushButton::clicked, this, &CDlgBar::previousClicked);
  connect(first_, &QPushButton::clicked, this, &CDlgBar::firstClicked);
  connect(last_, &QPushButton::clicked, this, &CDlgBar::lastClicked);
  connect(jump_, &QPushButton::clicked, this, [this] { emit jumpRequested(edit_->text()); });
  connect(edit_, &QLineEdit::returnPressed, this, [this] { emit jumpRequested(edit_->text()); });
  Reset();
  jump_->setEnabled(true);
}

void CDlgBar::ApplyButtonRule(int32_t page, uint32_t page_count) {
  PagingButtons b = PagingButtonRule(page, page_count);
  previous_->setEnabled(b.previousAndFirst);
  first_->setEnabled(b.previousAndFirst);
  next_->setEnabled(b.nextAndLast);
  last_->setEnabled(b.nextAndLast);
  jump_->setEnabled(b.jump);
  edit_->setEnabled(b.edit);
}

void CDlgBar::SetFields(const QString& current, const QString& count, const QString& rows) {
  current_->setText(current);
  count_->setText(count);
  rows_->setText(rows);
}

void CDlgBar::Reset() {
  for (QWidget* w : {static_cast<QWidget*>(next_), static_cast<QWidget*>(previous_),
                     static_cast<QWidget*>(first_), static_cast<QWidget*>(last_),
                     static_cast<QWidget*>(edit_)})
    w->setEnabled(false);
  SetFields("0", "0", "0");
}

QString CDlgBar::currentPageText() const { return current_->text(); }
QString CDlgBar::pageCountText() const { return count_->text(); }
QString CDlgBar::rowCountText() const { return rows_->text(); }

}  // namespace tollamer::app
