// CDetectionPage: the modal "Detection" dialog. It counts the pages of a
// chosen file by kind on a worker thread, shows the thirteen counts, the
// share of empty and damaged pages and the progress while the worker runs,
// and draws the page map when the census ends. Control ids are kept as
// object names.
#pragma once

#include <QDialog>

#include <atomic>
#include <map>

#include "app/tool_file_dialog.h"
#include "app/tool_messages.h"
#include "app/tool_worker.h"
#include "tools/file_detection.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace tollamer::app {

class CPageMapView;

class CDetectionPage : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kIdChooseFile = 1011;
  static constexpr int kIdStart = 1012;
  static constexpr int kIdStop = 1013;
  static constexpr int kIdProgress = 1014;
  static constexpr int kIdFileName = 1015;
  static constexpr int kIdSize = 1016;
  static constexpr int kIdPages = 1017;
  static constexpr int kIdNullShare = 1024;
  static constexpr int kIdErrShare = 1025;
  // Cells of the page map drawn in the dialog at most.
  static constexpr size_t kDialogMapCells = 4096;

  // `messages` replaces the message boxes (tests); null shows message boxes.
  explicit CDetectionPage(EngineMessages* messages = nullptr, QWidget* parent = nullptr);
  ~CDetectionPage() override;

  // The choose-file step after the file dialog: remembers the path, shows
  // its name, size and page count and sets the counts to "0".
  void ChooseFile(const QString& path);
  void Start();
  void Stop();
  bool IsRunning() const { return worker_.Running(); }

  // The field of a kind's count, and the fixed field ids of the dialog.
  QLabel* CountField(tools::PageKind kind) const { return counts_.at(kind); }
  QLabel* Field(int id) const;
  QProgressBar* progressBar() const { return progress_; }
  CPageMapView* mapView() const { return map_view_; }
  const tools::DetectionResult& lastResult() const { return last_; }
  void SetFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }

  // The control id of a kind's count field.
  static int CountFieldId(tools::PageKind kind);

 signals:
  // On the user-interface thread, after the worker ended (finished,
  // stopped, or failed to open the file).
  void detectionEnded();

 protected:
  void done(int result) override;

 private:
  void OnChooseClicked();
  void ShowCounts(const tools::KindCounts& counts);
  void OnWorkerEnded(const tools::DetectionResult& result);
  // Writes the page map as a PNG picture with its legend.
  void SaveMap();

  EngineMessages* messages_;
  std::unique_ptr<ToolMessageBoxes> boxes_;
  DeferredMessages worker_messages_;
  FileChooser chooser_;
  QString path_;
  uint64_t pages_ = 0;
  std::atomic<bool> running_{false};
  tools::DetectionResult last_;
  std::map<tools::PageKind, QLabel*> counts_;
  std::map<int, QLabel*> fields_;
  QProgressBar* progress_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* stop_ = nullptr;
  QPushButton* save_map_ = nullptr;
  CPageMapView* map_view_ = nullptr;
  ToolWorker worker_;  // last: it ends before the members it uses go
};

}  // namespace tollamer::app
