#include "app/main_frame.h"

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QProgressDialog>
#include <QThread>
#include <QTreeWidget>
#include <QUrl>

#include "app/app_services.h"
#include "platform/version.h"
#include "app/bak_to_mdf_dialog.h"
#include "app/engine_texts.h"
#include "app/detection_page.h"
#include "app/mdf_excavator_dialog.h"
#include "app/command_ids.h"
#include "app/data_transfer_dialog.h"
#include "app/find_table_dialog.h"
#include "app/output_data_dialog.h"
#include "app/save_folder_dialog.h"
#include "app/gui_messages.h"
#include "app/help_viewer.h"
#include "app/log_bar.h"
#include "app/object_tree_view.h"
#include "app/paging_bar.h"
#include "app/record_grid_view.h"
#include "app/sql_version_dialog.h"
#include "engine/catalog/open/open_catalog.h"
#include "output/data_outcome.h"
#include "output/open_log.h"
#include "output/db_import.h"
#include "output/schema_export.h"
#include "platform/file.h"
#include "tools/backup_conversion.h"

namespace tollamer::app {

namespace {

constexpr char kTitle[] = "QuarrixForMSSQLServer";
constexpr int kRecentFileCount = 4;

QString HelpPagePath() {
  const QString dir = QCoreApplication::applicationDirPath();
  const QString installed = dir + "/../share/tollamer/help/index.html";
  return QFile::exists(installed) ? QDir::cleanPath(installed) : dir + "/help/index.html";
}

struct CommandSpec {
  int id;
  const char* text;
  const char* shortcut;
};

const CommandSpec kCommands[] = {
    {kCmdOpen, "打开", "Ctrl+O"},
    {kCmdAddFile, "添加文件到当前数据库", "Ctrl+Shift+O"},
    {kCmdClose, "关闭", "Ctrl+W"},
    {kCmdSaveLog, "保存 日志", "Ctrl+S"},
    {kCmdClearLog, "清除 日志", "Ctrl+D"},
    {kCmdExit, "退出(&X)", "Ctrl+Q"},
    {kCmdToolbar, "工具栏(&T)", "Ctrl+T"},
    {kCmdWorkLog, "工作日志(&L)", "Ctrl+L"},
    {kCmdDetection, "检测数据库文件", "Ctrl+Alt+C"},
    {kCmdBakToMdf, "备份文件 转 mdf 文件", "Ctrl+Alt+M"},
    {kCmdExcavation, "MDF 碎片提取", "Ctrl+Alt+E"},
    {kCmdExportAllTableStructures, "导出所有表结构", "Ctrl+Alt+S"},
    {kCmdExportSelectedTableStructure, "导出选中表结构", "Ctrl+Alt+A"},
    {kCmdExportAllTableData, "导出所有表数据", "Ctrl+Alt+D"},
    {kCmdExportSelectedTableData, "导出选中表数据", "Ctrl+Alt+F"},
    {kCmdImportAllTables, "把所有表导入数据库", "Ctrl+Alt+B"},
    {kCmdImportSelectedTable, "把选中表导入数据库", "Ctrl+Alt+R"},
    {kCmdAbout, "关于", ""},  // Ctrl+A selects all in the grid
    {kCmdHelp, "帮助", "F1"},
    {kCmdSaveLogAndShutDown, "完成后保存日志并关机", ""},
};

constexpr int kTableCommands[] = {kCmdExportAllTableStructures, kCmdExportSelectedTableStructure,
                                  kCmdExportAllTableData,       kCmdExportSelectedTableData,
                                  kCmdImportAllTables,          kCmdImportSelectedTable};

QString U(const char* s) { return QString::fromUtf8(s); }
QString U(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

CMainFrame::CMainFrame(CTollamerDoc::CatalogBuilder builder, TableReader reader,
                       EngineMessages* messages, QWidget* parent)
    : QMainWindow(parent), reader_(std::move(reader)) {
  setWindowTitle(kTitle);
  if (!messages) {
    gui_messages_ = std::make_unique<GuiMessages>(this);
    messages = gui_messages_.get();
  }
  doc_ = std::make_unique<CTollamerDoc>(*messages, log_, std::move(builder));
  connect(doc_.get(), &CTollamerDoc::openFinished, this, &CMainFrame::OnOpenFinished);

  CreateActions();
  CreateMenus();
  CreateToolBar();

  pane101_ = new QLabel(QString(59, ' '), this);
  pane101_->setObjectName("101");
  statusBar()->addPermanentWidget(pane101_, 1);

  log_bar_ = new CLogBar(log_, this);
  addDockWidget(Qt::BottomDockWidgetArea, log_bar_);
  connect(log_bar_, &QDockWidget::visibilityChanged, this,
          [this](bool visible) { Action(kCmdWorkLog)->setChecked(visible); });

  splitter_ = new QSplitter(Qt::Horizontal, this);
  tree_ = new CFview(splitter_);
  grid_ = new CRfview(splitter_);
  splitter_->setStretchFactor(0, 1);
  splitter_->setStretchFactor(1, 2);
  setCentralWidget(splitter_);
  // 1100 x 720, or less on a small (or highly scaled) screen.
  const QRect screen = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry()
                                                        : QRect(0, 0, 1100, 720);
  const int width = std::min(1100, screen.width() * 19 / 20);
  resize(width, std::min(720, screen.height() * 9 / 10));
  splitter_->setSizes({width / 3, width * 2 / 3});

  connect(tree_, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* current, QTreeWidgetItem*) { OnSelectionChanged(current); });
  connect(tree_, &CFview::commandRequested, this, &CMainFrame::OnCommand);
  CDlgBar* bar = grid_->pagingBar();
  connect(bar, &CDlgBar::nextClicked, this, [this] { grid_state_.Next(grid_page_count_); Reload(); });
  connect(bar, &CDlgBar::previousClicked, this,
          [this] { grid_state_.Previous(grid_page_count_); Reload(); });
  connect(bar, &CDlgBar::firstClicked, this, [this] { grid_state_.First(); Reload(); });
  connect(bar, &CDlgBar::lastClicked, this, [this] { grid_state_.Last(grid_page_count_); Reload(); });
  connect(bar, &CDlgBar::jumpRequested, this, [this](const QString& text) {
    if (grid_state_.Jump(text.toStdString(), grid_page_count_)) Reload();
  });

  SetTableCommands(false, false);
  program_folder_ = QDir::currentPath();
  UpdateRecentFiles();
}

CMainFrame::~CMainFrame() { doc_->WaitForWorker(); }

QAction* CMainFrame::Action(int id) const {
  auto it = actions_.find(id);
  return it == actions_.end() ? nullptr : it->second;
}

void CMainFrame::CreateActions() {
  for (const CommandSpec& c : kCommands) {
    auto* a = new QAction(U(c.text), this);
    a->setData(c.id);
    a->setObjectName(QString::number(c.id));
    if (*c.shortcut) a->setShortcut(QKeySequence(c.shortcut));
    connect(a, &QAction::triggered, this, [this, id = c.id] { OnCommand(id); });
    actions_[c.id] = a;
  }
  for (int id : {kCmdToolbar, kCmdWorkLog, kCmdSaveLogAndShutDown}) Action(id)->setCheckable(true);
  Action(kCmdToolbar)->setChecked(true);
  Action(kCmdWorkLog)->setChecked(true);
}

void CMainFrame::CreateMenus() {
  QMenu* file = menuBar()->addMenu(U("文件"));
  for (int id : {kCmdOpen, kCmdAddFile, kCmdClose, kCmdSaveLog, kCmdClearLog, kCmdSaveLogAndShutDown})
    file->addAction(Action(id));
  file->addSeparator();
  for (int i = 0; i < kRecentFileCount; ++i) {
    auto* a = file->addAction(QString());
    a->setVisible(false);
    connect(a, &QAction::triggered, this, [this, a] { OpenFile(a->data().toString()); });
    recent_actions_ << a;
  }
  file->addSeparator();
  file->addAction(Action(kCmdExit));
  QMenu* view = menuBar()->addMenu(U("视图"));
  view->addAction(Action(kCmdToolbar));
  view->addAction(Action(kCmdWorkLog));
  QMenu* tools = menuBar()->addMenu(U("工具"));
  for (int id : {kCmdDetection, kCmdBakToMdf, kCmdExcavation}) tools->addAction(Action(id));
  tools->addSeparator();
  for (int id : kTableCommands) tools->addAction(Action(id));
  QMenu* help = menuBar()->addMenu(U("帮助"));
  for (int id : {kCmdHelp, kCmdAbout}) help->addAction(Action(id));
}

void CMainFrame::CreateToolBar() {
  QToolBar* bar = addToolBar("Toolbar");
  bar->setObjectName("128");
  bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  for (int id : {kCmdOpen, kCmdDetection, kCmdExcavation}) bar->addAction(Action(id));
  for (int id : kTableCommands) bar->addAction(Action(id));
  connect(bar, &QToolBar::visibilityChanged, this,
          [this](bool visible) { Action(kCmdToolbar)->setChecked(visible); });
}

void CMainFrame::SetTableCommands(bool all_tables, bool selected_table) {
  all_tables_enabled_ = all_tables;
  for (int id : {kCmdExportAllTableStructures, kCmdExportAllTableData, kCmdImportAllTables})
    Action(id)->setEnabled(all_tables);
  for (int id :
       {kCmdExportSelectedTableStructure, kCmdExportSelectedTableData, kCmdImportSelectedTable})
    Action(id)->setEnabled(selected_table);
}

void CMainFrame::OnCommand(int id) {
  switch (id) {
    case kCmdOpen: OnOpenCommand(); return;
    case kCmdAddFile: OnAddFileCommand(); return;
    case kCmdClose:
    case kCmdCloseDocument: OnCloseDocument(); return;
    case kCmdSaveLog: OnSaveLog(); return;
    case kCmdClearLog: log_.Clear(); return;
    case kCmdExit: close(); return;
    case kCmdToolbar:
      for (QToolBar* bar : findChildren<QToolBar*>()) bar->setVisible(Action(kCmdToolbar)->isChecked());
      return;
    case kCmdWorkLog: log_bar_->setVisible(Action(kCmdWorkLog)->isChecked()); return;
    case kCmdSaveLogAndShutDown: return;  // only its check mark
    case kCmdAbout:
      QMessageBox::about(this, U("关于"), U("Tollamer " TOLLAMER_VERSION " 版\n\n读取 ") +
                                             U(platform::kVersionsRead2000) + U(" 和 ") +
                                             U(platform::kVersionsRead2005) +
                                             U(" 的数据文件 (.mdf) 和完整备份 (.bak)。"));
      return;
    case kCmdHelp: ShowHelp(); return;
    case kCmdFindTable: OnFindTable(); return;
    case kCmdScanAllTables: OnScanAllTables(); return;
    case kCmdDetection: {
      CDetectionPage dialog(nullptr, this);
      dialog.exec();
      return;
    }
    case kCmdBakToMdf: {
      CBAKTOMDFDLG dialog(nullptr, this);
      dialog.exec();
      return;
    }
    case kCmdExcavation: {
      CMdfExcavatorDlg dialog(nullptr, nullptr, this);
      dialog.exec();
      return;
    }
    default:
      if (!OnSchemaExport(id) && !OnDataTransfer(id)) ShowNotYet(id);
      return;
  }
}

void CMainFrame::ShowNotYet(int id) {
  statusBar()->showMessage(U("此命令尚未提供") + QString(" (%1)").arg(id), 3000);
}

void CMainFrame::OnOpenCommand() {
  if (EngineBusy()) return;
  QStringList paths = QFileDialog::getOpenFileNames(
      this, U("打开"), QString(), "MS SQL Files (*.mdf *.ndf *.bak);;All Files (*)");
  if (!paths.isEmpty()) OpenFiles(paths);
}

void CMainFrame::OpenFile(const QString& path) { OpenFiles(QStringList{path}); }

void CMainFrame::OnAddFileCommand() {
  if (EngineBusy()) return;
  if (!doc_->Engine().IsOpen()) {
    statusBar()->showMessage(U("请先打开数据库的主文件或备份文件"), 3000);
    return;
  }
  const QStringList added = add_file_answer_
                                ? add_file_answer_()
                                : QFileDialog::getOpenFileNames(this, U("添加文件到当前数据库"), QString(),
                                                                "MS SQL Files (*.mdf *.ndf *.bak);;All Files (*)");
  if (added.isEmpty()) return;
  // The database is opened again with every file it had and the new ones.
  QStringList paths;
  for (const StoreSource& s : doc_->Engine().Store().Sources()) paths << U(s.path);
  for (const QString& p : added)
    if (!paths.contains(p)) paths << p;
  OpenFiles(paths);
}

uint16_t CMainFrame::AskBackupSet(const std::vector<BackupSetSummary>& sets, uint16_t read) {
  if (backup_set_answer_) return backup_set_answer_(sets);
  QStringList items;
  int current = 0;
  for (const BackupSetSummary& s : sets) {
    if (s.header.number == read) current = static_cast<int>(items.size());
    items << U("备份集 %1：%2，%3，%4 页")
                 .arg(s.header.number)
                 .arg(QString::fromStdString(s.databaseName))
                 .arg(QString::fromStdString(FormatBackupDate(s.header.written)))
                 .arg(s.pagesHeld);
  }
  bool ok = false;
  QString chosen = QInputDialog::getItem(this, U("选择备份集"), U("此备份文件包含多个备份集，请选择要读取的备份集："),
                                         items, current, false, &ok);
  if (!ok) return 0;
  return sets[static_cast<size_t>(items.indexOf(chosen))].header.number;
}

void CMainFrame::OpenFiles(const QStringList& paths) {
  if (EngineBusy() || paths.isEmpty()) return;
  const QString path = paths.front();
  // The open tears the previous catalog down: nothing of it stays on show.
  ClearDocumentViews();
  setWindowTitle(QFileInfo(path).fileName() + (paths.size() > 1 ? " ..." : "") + " - " + kTitle);
  SetEngineCommandsEnabled(false);
  // The files are opened once; the version is proposed from their own
  // pages. A file that did not open is reported by the worker, without a
  // question. A backup file holding several backup sets is opened again
  // with the set the user picks.
  DatabaseFiles files;
  for (const QString& p : paths) files.paths.push_back(p.toStdString());
  VersionGuess guess;
  OpenStatus status = doc_->BeginOpen(files, &guess);
  if (status == OpenStatus::kOpened && doc_->Engine().Store().BackupSets().size() > 1) {
    const uint16_t read = doc_->Engine().Store().BackupSetRead();
    const uint16_t wanted = AskBackupSet(doc_->Engine().Store().BackupSets(), read);
    if (wanted != 0 && wanted != read) {
      files.store.backupSet = wanted;
      status = doc_->BeginOpen(files, &guess);
    }
  }
  if (status == OpenStatus::kOpened) {
    if (version_answer_) {
      version_answer_(version_, guess);
    } else {
      CSQLVersion dialog(version_, guess, this);
      dialog.exec();
    }
  }
  if (guess.setting != VersionSetting::kNone && version_ != VersionSetting::kNone &&
      version_ != guess.setting) {
    log_.AppendEntry(std::string("Version chosen differs from the file's boot page: ") +
                     guess.name + " was detected.");
  }
  for (const QString& p : paths) AddRecentFile(p);
  doc_->StartOpenWorker(version_);
}

void CMainFrame::OnOpenFinished(bool ok) {
  doc_->WaitForWorker();
  if (gui_messages_) gui_messages_->EndNotices();
  SetEngineCommandsEnabled(true);
  if (ok) {
    // Tables sharing a page m_objId: the all-tables scan stays grayed.
    tree_->SetPageOwnerConflict(doc_->Engine().pageOwnerConflict.IsSet());
    tree_->Fill(doc_->FilePath(), doc_->Engine().catalog, doc_->DeletedRows());
    AppendRepairCompleted(log_, LocalTimeNow());
    SetTableCommands(true, false);
  } else {
    setWindowTitle(kTitle);
  }
  emit openCompleted(ok);
}

void CMainFrame::OnCloseDocument() {
  if (EngineBusy()) return;
  ClearDocumentViews();
  doc_->Close();
  setWindowTitle(kTitle);
  version_ = VersionSetting::kNone;
}

void CMainFrame::ClearDocumentViews() {
  grid_->Clear();
  grid_->pagingBar()->Reset();
  tree_->clear();
  grid_->ShowEmpty(true);
  pane101_->setText(QString(59, ' '));
  grid_state_ = GridState{};
  grid_page_count_ = 0;
  SetTableCommands(false, false);
}

void CMainFrame::ShowHelp() {
  // The help page lies next to the program, or in share/tollamer beside
  // the bin folder it is installed in.
  const QString page = HelpPagePath();
  if (viewer_) {
    viewer_(page);
    return;
  }
  if (!help_) help_ = new CHelpViewer(this);
  help_->ShowPage(page);
}

void CMainFrame::ShowReport(const std::string& text) {
  if (gui_messages_)
    QMessageBox::information(this, "Tollamer", QString::fromStdString(text));
  else
    doc_->Engine().Messages().ShowStop(text);
}

void CMainFrame::OnSaveLog() {
  std::optional<std::tm> now = LocalTimeNow();
  QString name = now ? QString::fromStdString(DefaultReportName(*now)) : QString("report.log");
  QFileDialog dialog(this, U("保存 日志"), name,
                     "Logo Files(*.log);;Text Files(*.txt);;All Files(*.*)");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix("LOGO");
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  const std::string path = dialog.selectedFiles().front().toStdString();
  if (platform::OutputIsInput(doc_->FilePath().toStdString(), path)) {
    QMessageBox::warning(this, "Tollamer", U(NoticeText(EngineNotice::kOutputIsInput)));
    return;
  }
  if (log_.SaveReport(path))
    QMessageBox::warning(this, "Tollamer", U("日志创建错误！"));
}

void CMainFrame::OnSelectionChanged(QTreeWidgetItem* item) {
  if (EngineBusy()) return;
  SetTableCommands(all_tables_enabled_, false);
  if (!item) grid_->ShowEmpty(true);
  if (item && item->parent() && IsDeletedRowsItemText(item->text(0).toStdString())) {
    ShowDeletedRows(item->parent());
    return;
  }
  std::optional<CFview::ObjectRef> object = CFview::ObjectOf(item);
  if (!object) return;
  grid_->ShowEmpty(false);
  pane101_->setText(QString::fromStdString(object->itemText));
  grid_->Clear();
  grid_state_.currentPage = 1;
  const Catalog& catalog = doc_->Engine().catalog;
  auto show_module = [&](const std::vector<ModuleInfo>& list) {
    for (const ModuleInfo& m : list) {
      if (m.fullName != object->name) continue;
      grid_->SetColumns({{"name", 100}, {"text", 700}});
      grid_->AddRow({m.fullName, m.text});
      grid_state_.nextAllowed = grid_state_.previousAllowed = false;
      grid_->pagingBar()->Reset();
      return;
    }
  };
  switch (object->category) {
    case Category::kTables:
      if (const TableInfo* table = CFview::TableOf(catalog, item)) ShowTable(table->id);
      SetTableCommands(all_tables_enabled_, true);
      break;
    case Category::kViews: show_module(catalog.views); break;
    case Category::kProcedures: show_module(catalog.procedures); break;
    case Category::kFunctions: show_module(catalog.functions); break;
    case Category::kUserTypes:
      for (const UserTypeInfo& t : catalog.userTypes) {
        if (t.name != object->name) continue;
        grid_->SetColumns({{"名称", 100}, {"基本类型", 100}, {"是否允许NULL", 100}});
        grid_->AddRow({t.name, t.baseTypeText, t.nullText});
        grid_->FitColumns();
        grid_state_.nextAllowed = grid_state_.previousAllowed = false;
        grid_->pagingBar()->Reset();
        break;
      }
      break;
  }
}

void CMainFrame::ShowDeletedRows(QTreeWidgetItem* table_item) {
  const TableInfo* table = CFview::TableOf(doc_->Engine().catalog, table_item);
  if (!table) return;
  auto d = doc_->DeletedRows().find(table->id);
  if (d == doc_->DeletedRows().end()) return;
  grid_->ShowEmpty(false);
  grid_->Clear();
  pane101_->setText(table_item->text(0) + " " + QString::fromUtf8(kDeletedRowsLabel));
  std::vector<std::pair<std::string, int>> titles;
  for (const std::string& t : d->second.titles) titles.emplace_back(t, 100);
  grid_->SetColumns(titles);
  for (const std::vector<std::string>& row : d->second.rows) grid_->AddRow(row);
  grid_state_.nextAllowed = grid_state_.previousAllowed = false;
  grid_->pagingBar()->Reset();
}

void CMainFrame::ShowTable(uint32_t table_id) {
  grid_state_.currentTable = table_id;
  grid_->Clear();
  TableGridPage page;
  if (reader_) page = reader_(doc_->Engine(), version_, table_id, grid_state_.currentPage);
  grid_page_count_ = page.pageCount;
  std::vector<std::pair<std::string, int>> columns;
  for (const std::string& t : page.titles) columns.emplace_back(t, 100);
  grid_->SetColumns(columns);
  for (const auto& row : page.rows) grid_->AddRow(row);
  grid_->FitColumns();
  const CMdfDatabase& db = doc_->Engine();
  if (auto table = db.catalog.tables.find(table_id);
      page.rows.empty() && table != db.catalog.tables.end() && table->second.rowCount != 0) {
    auto list = db.dataPageLists.find(table_id);
    grid_->SetEmptyReason(U(EmptyGridText(!table->second.columns.empty(), table->second.rowCount,
                                          list == db.dataPageLists.end() ? 0 : list->second.size())));
  }
  CDlgBar* bar = grid_->pagingBar();
  if (page.pageCount == 0) {
    bar->Reset();
    return;
  }
  bar->SetFields(QString::number(grid_state_.currentPage), QString::number(page.pageCount),
                 QString::number(page.rows.size()));
  bar->ApplyButtonRule(grid_state_.currentPage, page.pageCount);
}

void CMainFrame::Reload() {
  grid_->pagingBar()->ApplyButtonRule(grid_state_.currentPage, grid_page_count_);
  if (grid_state_.currentTable) ShowTable(grid_state_.currentTable);
}

void CMainFrame::AddRecentFile(const QString& path) {
  QSettings settings;  // organisation "KVT Datarecovery software"
  QStringList files = settings.value("Recent File List").toStringList();
  files.removeAll(path);
  files.prepend(path);
  while (files.size() > kRecentFileCount) files.removeLast();
  settings.setValue("Recent File List", files);
  UpdateRecentFiles();
}

void CMainFrame::UpdateRecentFiles() {
  QSettings settings;  // organisation "KVT Datarecovery software"
  QStringList files = settings.value("Recent File List").toStringList();
  for (int i = 0; i < recent_actions_.size(); ++i) {
    bool shown = i < files.size();
    recent_actions_[i]->setVisible(shown);
    if (shown) {
      recent_actions_[i]->setText(QString("&%1 %2").arg(i + 1).arg(files[i]));
      recent_actions_[i]->setData(files[i]);
    }
  }
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  bool ok = exit_answer_ ? exit_answer_()
                         : QMessageBox::question(this, kTitle, U("您真的要退出程序吗?"),
                                                 QMessageBox::Ok | QMessageBox::Cancel) ==
                               QMessageBox::Ok;
  if (!ok) {
    event->ignore();
    return;
  }
  doc_->WaitForWorker();
  if (scan_thread_) scan_thread_->wait();
  if (transfer_thread_) {
    transfer_cancel_ = true;
    transfer_thread_->wait();
  }
  grid_->Clear();
  tree_->clear();
  doc_->Close();
  event->accept();
}

}  // namespace tollamer::app

namespace tollamer::app {

void CMainFrame::SetEngineCommandsEnabled(bool on) {
  for (int id : {kCmdOpen, kCmdClose}) Action(id)->setEnabled(on);
  for (QAction* a : recent_actions_) a->setEnabled(on);
  tree_->setEnabled(on);
  grid_->setEnabled(on);
  if (!on) {
    for (int id : kTableCommands) Action(id)->setEnabled(false);
  } else {
    std::optional<CFview::ObjectRef> selected = CFview::ObjectOf(tree_->currentItem());
    SetTableCommands(all_tables_enabled_, selected && selected->category == Category::kTables);
  }
}

void CMainFrame::OnFindTable() {
  if (EngineBusy()) return;
  QTreeWidgetItem* start = tree_->TargetItem();
  if (start) tree_->setCurrentItem(start);
  if (!find_) find_ = new CFindTableDlg(tree_, this);
  find_->SetStartItem(start);
  find_->show();
  find_->raise();
}

std::optional<QString> CMainFrame::AskFolder() {
  if (folder_answer_) return folder_answer_();
  CMySaveFileDlg dialog(this);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.path();
}

void CMainFrame::OpenInViewer(const QString& path) {
  if (viewer_) {
    viewer_(path);
    return;
  }
  QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

namespace {

struct SchemaCommand {
  int id;
  SchemaObjectKind kind;
  bool all;
};

constexpr SchemaCommand kSchemaCommands[] = {
    {kCmdExportAllTableStructures, SchemaObjectKind::kTable, true},
    {kCmdTreeExportAllTableStructures, SchemaObjectKind::kTable, true},
    {kCmdExportSelectedTableStructure, SchemaObjectKind::kTable, false},
    {kCmdTreeExportSelectedTableStructure, SchemaObjectKind::kTable, false},
    {kCmdExportAllViews, SchemaObjectKind::kView, true},
    {kCmdExportThisView, SchemaObjectKind::kView, false},
    {kCmdExportAllProcedures, SchemaObjectKind::kProcedure, true},
    {kCmdExportThisProcedure, SchemaObjectKind::kProcedure, false},
    {kCmdExportAllFunctions, SchemaObjectKind::kFunction, true},
    {kCmdExportThisFunction, SchemaObjectKind::kFunction, false},
    {kCmdExportAllTypes, SchemaObjectKind::kUserType, true},
    {kCmdExportThisType, SchemaObjectKind::kUserType, false},
};

}  // namespace

bool CMainFrame::OnSchemaExport(int id) {
  const SchemaCommand* command = nullptr;
  for (const SchemaCommand& c : kSchemaCommands)
    if (c.id == id) command = &c;
  if (!command) return false;
  if (EngineBusy()) return true;
  const Catalog& catalog = doc_->Engine().catalog;
  // The object's name: a table item's text without its row count, the
  // other kinds' text whole.
  std::string name;
  if (!command->all) {
    QTreeWidgetItem* item = tree_->TargetItem();
    if (item) {
      tree_->setCurrentItem(item);
      name = item->text(0).toStdString();
      if (command->kind == SchemaObjectKind::kTable) {
        const TableInfo* table = CFview::TableOf(catalog, item);
        name = table ? table->fullName : std::string();
      }
    }
    // A view, procedure, function or type must exist before the folder is asked.
    bool found = true;
    switch (command->kind) {
      case SchemaObjectKind::kTable: break;
      case SchemaObjectKind::kUserType: found = FindSelectedUserType(catalog, name); break;
      default: found = FindSelectedModule(catalog, command->kind, name); break;
    }
    if (!found) return true;
  }
  std::optional<QString> folder = AskFolder();
  if (!folder) return true;
  ExportResult result =
      command->all ? ExportAllObjects(catalog, command->kind, folder->toStdString())
                   : ExportSelectedObject(catalog, command->kind, name, folder->toStdString());
  switch (result.status) {
    case ExportStatus::kWritten: OpenInViewer(QString::fromStdString(result.path)); break;
    case ExportStatus::kNoSuchObject: break;
    case ExportStatus::kFolderMissing:
      doc_->Engine().Messages().Notify(EngineNotice::kFolderMissing);
      break;
    case ExportStatus::kWriteFailed:
      doc_->Engine().Messages().ShowStop("脚本文件写入失败！" + result.path + ": " + result.error);
      break;
  }
  return true;
}

void CMainFrame::OnScanAllTables() {
  if (EngineBusy() || !doc_->Engine().IsOpen()) return;
  if (!wait_) wait_ = new CoutputDatatDlg(this);
  wait_->SetText(QString::fromUtf8("正在扫描文件，请稍侯......"));
  wait_->show();
  wait_->move(geometry().center() - wait_->rect().center());
  SetEngineCommandsEnabled(false);
  const FormatProfile* profile = ProfileFor(version_);
  CMdfDatabase* db = &doc_->Engine();
  scan_thread_ = QThread::create([db, profile] {
    if (profile) profile->ScanFileForAllTables(*db);
  });
  connect(scan_thread_, &QThread::finished, this, &CMainFrame::OnScanFinished);
  scan_thread_->start();
}

void CMainFrame::OnScanFinished() {
  scan_thread_->wait();
  delete scan_thread_;
  scan_thread_ = nullptr;
  wait_->hide();
  SetEngineCommandsEnabled(true);
  // Tables the system tables count rows for but whose data pages the scan
  // did not find: the extraction is not complete.
  const std::vector<uint32_t> empty = TablesWithoutDataPages(doc_->Engine());
  for (uint32_t id : empty) {
    const TableInfo& table = doc_->Engine().catalog.tables.at(id);
    log_.AppendEntry(table.fullName + ": " + TableReasonText(kNoDataPagesError) + "，系统表记录 " +
                     std::to_string(table.rowCount.value_or(0)) + " 行");
  }
  if (empty.empty())
    ShowReport("表数据提取完成");
  else
    doc_->Engine().Messages().ShowStop("表数据提取未完成：" + std::to_string(empty.size()) +
                                       " 个有记录的表未找到数据页");
  emit scanCompleted();
}

}  // namespace tollamer::app

namespace tollamer::app {

bool CMainFrame::OnDataTransfer(int id) {
  bool import = false, selected = false;
  switch (id) {
    case kCmdExportAllTableData: case kCmdTreeExportAllData: break;
    case kCmdExportSelectedTableData: case kCmdTreeExportSelectedTableData: selected = true; break;
    case kCmdImportAllTables: import = true; break;
    case kCmdImportSelectedTable: case kCmdTreeImportSelectedTable: import = selected = true; break;
    default: return false;
  }
  if (EngineBusy() || !doc_->Engine().IsOpen()) return true;
  std::vector<uint32_t> tables;  // empty: every table
  if (selected) {
    QTreeWidgetItem* item = tree_->TargetItem();
    if (item) tree_->setCurrentItem(item);
    const TableInfo* table = CFview::TableOf(doc_->Engine().catalog, item);
    if (!table) return true;
    tables.push_back(table->id);
  }
  std::optional<DataTransferChoice> choice;
  if (transfer_answer_) {
    choice = transfer_answer_(import);
  } else {
    CDataTransferDlg dialog(import, this);
    if (dialog.exec() == QDialog::Accepted) choice = dialog.choice();
  }
  if (!choice) return true;

  size_t count = tables.empty() ? doc_->Engine().catalog.tables.size() : 1;
  transfer_progress_ = new QProgressDialog(import ? U("正在导入数据......") : U("正在导出数据......"),
                                           U("取消"), 0, static_cast<int>(count) * 100, this);
  transfer_progress_->setWindowModality(Qt::WindowModal);
  transfer_progress_->setMinimumDuration(300);
  transfer_cancel_ = false;
  connect(transfer_progress_, &QProgressDialog::canceled, this, [this] { transfer_cancel_ = true; });
  SetEngineCommandsEnabled(false);

  CMdfDatabase* db = &doc_->Engine();
  VersionSetting version = version_;
  transfer_results_.clear();
  transfer_thread_ = QThread::create([this, db, version, tables, choice = *choice, count] {
    // Progress reaches the dialog through queued calls; a cancel ends the
    // table being written (its file or target table is not kept) and the rest.
    size_t done = 0;
    auto post = [this](int value, QString label) {
      QMetaObject::invokeMethod(this, [this, value, label] {
        if (!transfer_progress_) return;
        transfer_progress_->setValue(value);
        if (!label.isEmpty()) transfer_progress_->setLabelText(label);
      }, Qt::QueuedConnection);
    };
    DataProgress progress;
    progress.tableStarted = [&](const TableInfo& t) {
      post(static_cast<int>(done * 100), QString::fromStdString(t.fullName) +
                                             QString(" (%1/%2)").arg(done + 1).arg(count));
    };
    progress.pages = [&](uint64_t page, uint64_t pages) {
      post(static_cast<int>(done * 100 + (pages ? 100 * page / pages : 0)), {});
    };
    progress.tableDone = [&](const TableDataResult&) { ++done; };
    progress.cancelled = [this] { return transfer_cancel_.load(); };
    std::vector<TableDataResult> results;
    if (choice.import) {
      std::string error;
      std::unique_ptr<ImportTarget> target = OpenImportTarget(choice.target, error);
      if (!target) {
        TableDataResult failed;
        failed.error = error;
        results.push_back(failed);
      } else {
        results = ImportTables(*db, version, tables, *target, progress);
      }
    } else {
      results = ExportTablesData(*db, version, tables, choice.format, choice.folder, progress);
    }
    QMetaObject::invokeMethod(this, [this, results] { transfer_results_ = results; },
                              Qt::QueuedConnection);
  });
  connect(transfer_thread_, &QThread::finished, this, &CMainFrame::OnTransferFinished);
  transfer_thread_->start();
  return true;
}

void CMainFrame::OnTransferFinished() {
  // The worker's results were posted before its end, so they are in.
  transfer_thread_->wait();
  delete transfer_thread_;
  transfer_thread_ = nullptr;
  delete transfer_progress_;
  transfer_progress_ = nullptr;
  SetEngineCommandsEnabled(true);
  uint64_t rows = 0;
  size_t written = 0;
  std::string failures;
  for (const TableDataResult& r : transfer_results_) {
    if (r.ok) {
      ++written;
      rows += r.stats.rows;
    } else if (r.tableName.empty()) {  // the target could not be opened
      failures += "\n" + TableReasonText(r.error);
      continue;
    }
    if (!r.ok || r.stats.pagesSkipped) failures += "\n" + TableOutcomeText(r);
  }
  const DataOutcome outcome = SummarizeOutcome(transfer_results_);
  std::string summary = (outcome.Complete() ? "完成: " : "未完成: ") + std::to_string(written) +
                        " 个表, " + std::to_string(rows) + " 行";
  if (outcome.shortTables)
    summary += "; " + std::to_string(outcome.shortTables) + " 个表行数少于系统表记录（缺 " +
               std::to_string(outcome.rowsMissing) + " 行）";
  if (outcome.skipped) summary += "; " + std::to_string(outcome.skipped) + " 个表跳过";
  if (transfer_cancel_) summary += " (已取消)";
  if (std::string checks = PageCheckLine(doc_->Engine().Store().CheckFailures()); !checks.empty())
    log_.AppendEntry(checks);
  AppendTableOutcomes(log_, transfer_results_);
  if (outcome.Complete() && failures.empty() && !transfer_cancel_)
    ShowReport(summary);
  else
    doc_->Engine().Messages().ShowStop(summary + failures);
  emit transferCompleted();
}

}  // namespace tollamer::app
