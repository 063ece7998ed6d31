// CMainFrame: the main window. Menus, accelerators and toolbar carry the
// command ids; the frame routes each command, keeps the version setting and
// the grid state, and holds the tree, the grid and the work log bar.
#pragma once

#include <QMainWindow>

#include <atomic>
#include <map>
#include <memory>

#include "app/paging_rule.h"
#include "app/tollamer_doc.h"
#include "app/tree_texts.h"
#include "engine/rows/table_rows.h"
#include "output/data_export.h"
#include "output/work_log.h"

class QAction;
class QLabel;
class QSplitter;
class QProgressDialog;
class QThread;
class QTreeWidgetItem;

namespace tollamer::app {

struct DataTransferChoice;
class CFview;
class CFindTableDlg;
class CHelpViewer;
class CoutputDatatDlg;
class CRfview;
class CLogBar;
class GuiMessages;

class CMainFrame : public QMainWindow {
  Q_OBJECT
 public:
  // Reads grid page `page` (1-based) of a table.
  using TableReader = std::function<TableGridPage(CMdfDatabase&, VersionSetting, uint32_t table_id,
                                                  int32_t page)>;

  // `messages` replaces the message boxes (tests); null shows message boxes.
  CMainFrame(CTollamerDoc::CatalogBuilder builder, TableReader reader,
             EngineMessages* messages = nullptr, QWidget* parent = nullptr);
  ~CMainFrame() override;

  // Opens `path` as the open command does (asks for the version first).
  void OpenFile(const QString& path);
  // Opens the files of one database together (the stripes of a striped
  // backup); asks which backup set when a backup file holds several.
  void OpenFiles(const QStringList& paths);
  // 添加文件到当前数据库: the open database again with the files chosen
  // added (a secondary data file, another stripe of the backup).
  void OnAddFileCommand();

  QAction* Action(int command_id) const;
  VersionSetting versionSetting() const { return version_; }
  CTollamerDoc& document() { return *doc_; }
  CFview* tree() const { return tree_; }
  CRfview* gridView() const { return grid_; }
  CLogBar* logBar() const { return log_bar_; }
  WorkLog& workLog() { return log_; }
  const GridState& gridState() const { return grid_state_; }
  QLabel* statusPane101() const { return pane101_; }

  // For tests: the version dialog is not shown; this answer is used.
  void SetVersionAnswerForTests(std::function<void(VersionSetting&, const VersionGuess&)> answer) {
    version_answer_ = std::move(answer);
  }
  // For tests: the backup set question is not shown; the answer (the set
  // number, from the sets listed) is used.
  void SetBackupSetAnswerForTests(std::function<uint16_t(const std::vector<BackupSetSummary>&)> answer) {
    backup_set_answer_ = std::move(answer);
  }
  // For tests: the files the add-a-file dialog answers with.
  void SetAddFileAnswerForTests(std::function<QStringList()> answer) { add_file_answer_ = std::move(answer); }
  // For tests: the exit question's answer.
  void SetExitAnswerForTests(std::function<bool()> answer) { exit_answer_ = std::move(answer); }
  // For tests: the folder dialog's answer (nothing = Cancel).
  void SetFolderAnswerForTests(std::function<std::optional<QString>()> answer) {
    folder_answer_ = std::move(answer);
  }
  // For tests: what opening a written file in the viewer does.
  void SetViewerForTests(std::function<void(const QString&)> viewer) { viewer_ = std::move(viewer); }
  // For tests: the data export/import dialog's answer (nothing = Cancel).
  void SetDataTransferAnswerForTests(
      std::function<std::optional<DataTransferChoice>(bool import)> answer) {
    transfer_answer_ = std::move(answer);
  }
  // True while the open worker, the all-tables scan or a data transfer runs.
  bool EngineBusy() const {
    return doc_->IsBusy() || scan_thread_ != nullptr || transfer_thread_ != nullptr;
  }
  // The summary of the last data export or import, one line per table.
  const std::vector<TableDataResult>& lastTransfer() const { return transfer_results_; }
  CFindTableDlg* findDialog() const { return find_; }
  CoutputDatatDlg* waitDialog() const { return wait_; }

 signals:
  void openCompleted(bool ok);
  void scanCompleted();
  void transferCompleted();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void CreateActions();
  void CreateMenus();
  void CreateToolBar();
  void OnCommand(int command_id);
  void OnOpenCommand();
  void OnOpenFinished(bool ok);
  void OnCloseDocument();
  // Empties the tree, the grid and its paging bar (close, and every open).
  void ClearDocumentViews();
  void ShowHelp();
  // A report of work that went through: an information box.
  void ShowReport(const std::string& text);
  void OnSaveLog();
  void OnSelectionChanged(QTreeWidgetItem* item);
  void ShowTable(uint32_t table_id);
  // The deleted rows of the table whose tree item is `table_item`.
  void ShowDeletedRows(QTreeWidgetItem* table_item);
  void Reload();
  void SetTableCommands(bool all_tables, bool selected_table);
  void AddRecentFile(const QString& path);
  void UpdateRecentFiles();
  void ShowNotYet(int command_id);
  // Commands that touch the engine are off while a worker uses it.
  void SetEngineCommandsEnabled(bool on);
  void OnFindTable();
  bool OnSchemaExport(int command_id);
  void OnScanAllTables();
  void OnScanFinished();
  // The table data exports (CSV/SQL files) and imports (SQLite/PostgreSQL).
  bool OnDataTransfer(int command_id);
  void OnTransferFinished();
  std::optional<QString> AskFolder();
  void OpenInViewer(const QString& path);

  WorkLog log_;
  std::unique_ptr<GuiMessages> gui_messages_;
  std::unique_ptr<CTollamerDoc> doc_;
  TableReader reader_;
  VersionSetting version_ = VersionSetting::kNone;
  GridState grid_state_;
  uint32_t grid_page_count_ = 0;
  bool page_owner_conflict_ = false;
  std::map<int, QAction*> actions_;
  QList<QAction*> recent_actions_;
  CFview* tree_ = nullptr;
  CRfview* grid_ = nullptr;
  CLogBar* log_bar_ = nullptr;
  QLabel* pane101_ = nullptr;
  QSplitter* splitter_ = nullptr;
  QString program_folder_;
  std::function<void(VersionSetting&, const VersionGuess&)> version_answer_;
  std::function<uint16_t(const std::vector<BackupSetSummary>&)> backup_set_answer_;
  std::function<QStringList()> add_file_answer_;
  // The set the user picked of the backup sets listed; 0 when cancelled.
  uint16_t AskBackupSet(const std::vector<BackupSetSummary>& sets, uint16_t read);
  std::function<bool()> exit_answer_;
  std::function<std::optional<QString>()> folder_answer_;
  std::function<void(const QString&)> viewer_;
  CFindTableDlg* find_ = nullptr;
  CoutputDatatDlg* wait_ = nullptr;
  CHelpViewer* help_ = nullptr;
  QThread* scan_thread_ = nullptr;
  QThread* transfer_thread_ = nullptr;
  QProgressDialog* transfer_progress_ = nullptr;
  std::atomic<bool> transfer_cancel_{false};
  std::vector<TableDataResult> transfer_results_;
  std::function<std::optional<DataTransferChoice>(bool)> transfer_answer_;
  bool all_tables_enabled_ = false;
};

}  // namespace tollamer::app
