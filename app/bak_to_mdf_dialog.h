// CBAKTOMDFDLG: the modal "bak 转 mdf" dialog. Turns a full backup into a
// data file on a worker thread: every sector that begins a page is written
// with its rest at the page's own number. One run at a time; the dialog
// cannot be closed while its worker runs; a completion message names the
// pages written and the incomplete ones.
#pragma once

#include <QDialog>

#include <atomic>

#include "app/tool_file_dialog.h"
#include "app/tool_messages.h"
#include "app/tool_worker.h"
#include "tools/backup_conversion.h"

class QLineEdit;
class QProgressBar;
class QPushButton;

namespace tollamer::app {

class CBAKTOMDFDLG : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kIdBackupPath = 1073;
  static constexpr int kIdDataPath = 1074;
  static constexpr int kIdChooseBackup = 1011;
  static constexpr int kIdChooseData = 1012;
  static constexpr int kIdArrow = 1075;
  static constexpr int kIdRun = 1013;
  static constexpr int kIdProgress = 1076;

  explicit CBAKTOMDFDLG(EngineMessages* messages = nullptr, QWidget* parent = nullptr);
  ~CBAKTOMDFDLG() override;

  void Run();
  bool IsRunning() const { return worker_.Running(); }

  QLineEdit* backupEdit() const { return backup_; }
  QLineEdit* dataEdit() const { return data_; }
  QProgressBar* progressBar() const { return progress_; }
  QPushButton* runButton() const { return run_; }
  const tools::ConversionResult& lastResult() const { return last_; }
  void SetFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }

  // "转换完成：共写入 %1 页，其中 %2 页不完整。"
  static QString CompletionText(const tools::ConversionResult& result);

 signals:
  void conversionEnded();

 protected:
  void done(int result) override;

 private:
  void OnWorkerEnded(const tools::ConversionResult& result);
  QString Choose(const FileDialogRequest& request);

  EngineMessages* messages_;
  std::unique_ptr<ToolMessageBoxes> boxes_;
  DeferredMessages worker_messages_;
  FileChooser chooser_;
  std::atomic<bool> running_{false};
  tools::ConversionResult last_;
  QLineEdit* backup_ = nullptr;
  QLineEdit* data_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QPushButton* run_ = nullptr;
  ToolWorker worker_;
};

}  // namespace tollamer::app
