// CProgressDLG2: the modal progress dialog of the fragment search and the
// fragment extractions. A text progress bar and a "停止" button; Enter and
// Escape are ignored. Stopping clears the worker's running flag and closes
// the dialog; the worker's end (Finish) closes it the same way. The caller
// waits for its worker after exec() returns (a worker tests the flag once
// per unit, so it ends at once).
#pragma once

#include <QDialog>

#include <atomic>

class QProgressBar;
class QPushButton;

namespace tollamer::app {

class CProgressDLG2 : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kIdProgress = 1014;
  static constexpr int kIdStop = 1;

  explicit CProgressDLG2(std::atomic<bool>& running, QWidget* parent = nullptr);

  // 0..100; a negative value shows a busy bar (no known end).
  void SetPercent(int percent);
  // The worker's closing message: clears the flag and closes.
  void Finish();
  // The stop button.
  void Stop();

  QProgressBar* progressBar() const { return bar_; }
  QPushButton* stopButton() const { return stop_; }
  bool stoppedByUser() const { return stopped_by_user_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void reject() override;  // Escape and the close box: ignored

 private:
  void CloseNow();

  std::atomic<bool>& running_;
  QProgressBar* bar_;
  QPushButton* stop_;
  bool stopped_by_user_ = false;
};

}  // namespace tollamer::app
