// CDlgBar: the one-line paging bar above the record grid.
#pragma once

#include <QWidget>

#include "app/paging_rule.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace tollamer::app {

class CDlgBar : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kIdNext = 1003, kIdPrevious = 1004, kIdFirst = 1008, kIdLast = 1009,
                       kIdJump = 1072, kIdJumpEdit = 1010, kIdCurrentPage = 1005,
                       kIdPageCount = 1006, kIdRowCount = 1007;

  explicit CDlgBar(QWidget* parent = nullptr);

  // Applies the button rule for page `page` of `page_count`.
  void ApplyButtonRule(int32_t page, uint32_t page_count);
  void SetFields(const QString& current, const QString& count, const QString& rows);
  // Everything off and "0" in the three fields (no table, or a summary row).
  void Reset();

  QPushButton* nextButton() const { return next_; }
  QPushButton* previousButton() const { return previous_; }
  QPushButton* firstButton() const { return first_; }
  QPushButton* lastButton() const { return last_; }
  QPushButton* jumpButton() const { return jump_; }
  QLineEdit* jumpEdit() const { return edit_; }
  QString currentPageText() const;
  QString pageCountText() const;
  QString rowCountText() const;

 signals:
  void nextClicked();
  void previousClicked();
  void firstClicked();
  void lastClicked();
  void jumpRequested(const QString& text);

 private:
  QPushButton* next_;
  QPushButton* previous_;
  QPushButton* first_;
  QPushButton* last_;
  QPushButton* jump_;
  QLineEdit* edit_;
  QLabel* current_;
  QLabel* count_;
  QLabel* rows_;
};

}  // namespace tollamer::app
