// CMdfExcavatorDlg: the modal "MDF碎片提取" dialog. The source comes from
// the CMenuEdit (disk, volume or image); the file system at the start
// sector fills the size and cluster fields. Run searches on a worker
// thread behind CProgressDLG2 and lists the fragments with their five
// columns and check boxes; the row menu checks rows, extracts the current
// or the checked fragments into a new data file (worker again) and saves
// the list as CSV.
#pragma once

#include <QDialog>

#include <array>
#include <atomic>
#include <memory>
#include <vector>

#include "app/tool_file_dialog.h"
#include "app/tool_messages.h"
#include "app/tool_worker.h"
#include "platform/block_devices.h"
#include "tools/data_sources.h"
#include "tools/fragment_extraction.h"
#include "tools/fragment_search.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace tollamer::app {

class CMenuEdit;
class CProgressDLG2;

class CMdfExcavatorDlg : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kIdList = 1002;
  static constexpr int kIdReadInfo = 1011;
  static constexpr int kIdSaveInfo = 1012;
  static constexpr int kIdSource = 1077;
  static constexpr int kIdStartSector = 1078;
  static constexpr int kIdSize = 1079;
  static constexpr int kIdCluster = 1080;
  static constexpr int kIdFreeOnly = 1081;
  static constexpr int kIdFileSystem = 1082;
  static constexpr int kIdRun = 1083;
  static constexpr int kIdProgress = 1084;
  // Row menu 184.
  static constexpr int kCmdExtractCurrent = 32841;
  static constexpr int kCmdExtractChecked = 32842;
  static constexpr int kCmdCheckedStatistics = 32843;
  static constexpr int kCmdCopyStartSector = 32844;
  static constexpr int kCmdSaveList = 32846;
  static constexpr int kCmdCheckAll = 32850;
  static constexpr int kCmdCheckSelected = 32852;

  // `devices` lists the machine's disks (null: the machine's own);
  // `messages` replaces the message boxes (tests).
  explicit CMdfExcavatorDlg(EngineMessages* messages = nullptr,
                            const platform::BlockDevices* devices = nullptr,
                            QWidget* parent = nullptr);
  ~CMdfExcavatorDlg() override;

  // Recognises the file system at the start sector of the source.
  void RecognizeSource();
  // Starts the search and returns when it ended or was stopped.
  void Run();
  void OnRowCommand(int id);

  // The five column widths for a list of client width `w`.
  static std::array<int, 5> ColumnWidths(int w);

  CMenuEdit* sourceEdit() const { return source_; }
  QLineEdit* field(int id) const;
  QCheckBox* freeOnlyBox() const { return free_only_; }
  QLabel* fileSystemLabel() const { return fs_label_; }
  QTableWidget* list() const { return list_; }
  const std::vector<tools::Fragment>& fragments() const { return fragments_; }
  const tools::SearchResult& lastSearch() const { return search_; }
  const tools::ExtractionResult& lastExtraction() const { return extraction_; }
  void SetFileChooser(FileChooser chooser);
  // Called with the progress dialog of every search or extraction, once it
  // is up (tests stop it from here).
  void SetProgressHook(std::function<void(CProgressDLG2&)> hook) { progress_hook_ = std::move(hook); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void done(int result) override;

 private:
  void TakeSource(const tools::SourceFields& fields);
  void FillList();
  void AddRow(const tools::Fragment& f);
  void ReadChecks();
  void WriteChecks();
  void ShowRowMenu(const QPoint& pos);
  void Extract(std::vector<tools::Fragment> chosen);
  void SaveList();
  // Runs `work` on the worker behind a progress dialog until it ends.
  void RunBehindProgress(std::function<void(CProgressDLG2*)> work, bool busy_bar);
  QString Choose(const FileDialogRequest& request);

  EngineMessages* messages_;
  std::unique_ptr<ToolMessageBoxes> boxes_;
  std::unique_ptr<platform::BlockDevices> own_devices_;
  DeferredMessages worker_messages_;
  FileChooser chooser_;
  std::function<void(CProgressDLG2&)> progress_hook_;
  std::atomic<bool> running_{false};
  std::string search_path_;  // the source the listed fragments lie on
  std::vector<tools::Fragment> fragments_;
  tools::SearchResult search_;
  tools::ExtractionResult extraction_;
  size_t extraction_files_ = 0;  // data files written: one per database
  CMenuEdit* source_ = nullptr;
  QLineEdit* start_ = nullptr;
  QLineEdit* size_ = nullptr;
  QLineEdit* cluster_ = nullptr;
  QCheckBox* free_only_ = nullptr;
  QLabel* fs_label_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QTableWidget* list_ = nullptr;
  ToolWorker worker_;
};

}  // namespace tollamer::app
