#include "app/mdf_excavator_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

#include "app/menu_edit.h"
#include "app/progress_dialog2.h"
#include "app/tool_fields.h"
#include "tools/backup_conversion.h"
#include "tools/file_system.h"

namespace tollamer::app {

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }
QString U(const std::string& s) { return QString::fromStdString(s); }

constexpr char kMdfFilter[] = "mdf files(*.mdf)|*.mdf|All files(*.*)|*.*||";
constexpr char kCsvFilter[] = "CSV files(*.csv)|*.csv|All files(*.*)|*.*||";
constexpr int kColumnCount = 5;
constexpr char kSourcePrompt[] = "……右键选择数据源……";
// The label beside the start sector before a volume is recognised.
constexpr char kStartSectorHint[] = "←文件系统起始扇区或者有效簇起始扇区";

// "←NTFS" and blanks once a volume is recognised.
std::string FileSystemLabel(const tools::Recognition& r) {
  if (r.fs.kind == tools::FileSystemKind::kNone) return kStartSectorHint;
  return "←" + std::string(tools::FileSystemName(r.fs.kind)) + std::string(84, ' ');
}

class DialogObserver final : public tools::SearchObserver {
 public:
  DialogObserver(CProgressDLG2* progress, std::function<void(tools::Fragment)> row)
      : progress_(progress), row_(std::move(row)) {}
  void OnProgress(int percent) override {
    CProgressDLG2* p = progress_;
    QMetaObject::invokeMethod(p, [p, percent] { p->SetPercent(percent); }, Qt::QueuedConnection);
  }
  // Rows appear while the search runs; they travel with the progress
  // dialog as context, so none arrives after the search has been listed.
  void OnFragment(const tools::Fragment& f) override {
    QMetaObject::invokeMethod(progress_, [row = row_, f] { row(f); }, Qt::QueuedConnection);
  }

 private:
  CProgressDLG2* progress_;
  std::function<void(tools::Fragment)> row_;
};

QLineEdit* DigitsEdit(int id, const QString& text, QWidget* parent) {
  auto* e = new QLineEdit(text, parent);
  e->setObjectName(QString::number(id));
  e->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), e));
  return e;
}

}  // namespace

std::array<int, 5> CMdfExcavatorDlg::ColumnWidths(int w) {
  int two_fifths = w * 2 / 5;
  return {w / 10, w / 5, w / 10, two_fifths / 3, w - two_fifths - 16};
}

CMdfExcavatorDlg::CMdfExcavatorDlg(EngineMessages* messages, const platform::BlockDevices* devices,
                                   QWidget* parent)
    : QDialog(parent), messages_(messages) {
  if (!messages_) {
    boxes_ = std::make_unique<ToolMessageBoxes>(this);
    messages_ = boxes_.get();
  }
  if (!devices) {
    own_devices_ = platform::SystemBlockDevices();
    devices = own_devices_.get();
  }
  setWindowTitle(U("MDF碎片提取"));
  setObjectName("182");

  source_ = new CMenuEdit(U(kSourcePrompt), true, CMenuEdit::kGrayText, *devices, this);
  source_->setObjectName(QString::number(kIdSource));
  start_ = DigitsEdit(kIdStartSector, "0", this);
  start_->installEventFilter(this);
  size_ = DigitsEdit(kIdSize, QString(), this);
  cluster_ = DigitsEdit(kIdCluster, "8", this);
  fs_label_ = new QLabel(U(kStartSectorHint), this);
  fs_label_->setObjectName(QString::number(kIdFileSystem));
  fs_label_->setStyleSheet("color: red;");
  free_only_ = new QCheckBox(U("仅扫描空闲簇"), this);
  free_only_->setObjectName(QString::number(kIdFreeOnly));
  free_only_->setChecked(true);
  free_only_->setEnabled(false);
  auto* run = new QPushButton(U("运行"), this);
  run->setObjectName(QString::number(kIdRun));
  auto* read_info = new QPushButton(U("读取信息"), this);
  read_info->setObjectName(QString::number(kIdReadInfo));
  auto* save_info = new QPushButton(U("保存信息"), this);
  save_info->setObjectName(QString::number(kIdSaveInfo));
  for (QPushButton* b : {run, read_info, save_info}) b->setAutoDefault(false);
  progress_ = new QProgressBar(this);
  progress_->setObjectName(QString::number(kIdProgress));
  progress_->setVisible(false);

  list_ = new QTableWidget(0, kColumnCount, this);
  list_->setObjectName(QString::number(kIdList));
  list_->setHorizontalHeaderLabels(
      {U("碎片编号"), U("所属扇区信息"), U("碎片大小"), U("所属页信息"), U("扩展信息")});
  list_->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
  list_->verticalHeader()->setVisible(false);
  list_->setShowGrid(true);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  list_->setMinimumSize(760, 260);
  connect(list_, &QWidget::customContextMenuRequested, this, &CMdfExcavatorDlg::ShowRowMenu);

  auto* choose_source = new QPushButton(U("选择数据源..."), this);
  choose_source->setAutoDefault(false);
  connect(choose_source, &QPushButton::clicked, this, [this, choose_source] {
    source_->ShowSourceMenu(choose_source->mapToGlobal(QPoint(0, choose_source->height())));
  });
  choose_source->setFocus();  // the edit keeps its prompt until it is used
  auto* source_label = new QLabel(U("数据源:"), this);
  source_label->setBuddy(source_);

  auto* fields = new QGridLayout;
  fields->addWidget(source_label, 0, 0);
  fields->addWidget(source_, 0, 1, 1, 2);
  fields->addWidget(choose_source, 0, 3);
  fields->addWidget(new QLabel(U("起始扇区:"), this), 1, 0);
  fields->addWidget(start_, 1, 1);
  fields->addWidget(fs_label_, 1, 2, 1, 2);
  fields->addWidget(new QLabel(U("大小(sec):"), this), 2, 0);
  fields->addWidget(size_, 2, 1);
  fields->addWidget(new QLabel(U("簇大小(sec):"), this), 2, 2);
  fields->addWidget(cluster_, 2, 3);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(free_only_);
  buttons->addStretch(1);
  buttons->addWidget(read_info);
  buttons->addWidget(save_info);
  buttons->addWidget(run);
  auto* outer = new QVBoxLayout(this);
  outer->addLayout(fields);
  outer->addLayout(buttons);
  outer->addWidget(progress_);
  outer->addWidget(list_, 1);

  connect(source_, &CMenuEdit::sourceChosen, this, &CMdfExcavatorDlg::TakeSource);
  connect(run, &QPushButton::clicked, this, &CMdfExcavatorDlg::Run);
  connect(read_info, &QPushButton::clicked, this, &CMdfExcavatorDlg::RecognizeSource);
  connect(save_info, &QPushButton::clicked, this, &CMdfExcavatorDlg::SaveList);
}

CMdfExcavatorDlg::~CMdfExcavatorDlg() {
  running_ = false;
  worker_.Wait();
}

QLineEdit* CMdfExcavatorDlg::field(int id) const {
  switch (id) {
    case kIdStartSector: return start_;
    case kIdSize: return size_;
    case kIdCluster: return cluster_;
    case kIdSource: return source_;
    default: return nullptr;
  }
}

void CMdfExcavatorDlg::SetFileChooser(FileChooser chooser) {
  chooser_ = chooser;
  source_->SetFileChooser(std::move(chooser));
}

QString CMdfExcavatorDlg::Choose(const FileDialogRequest& request) {
  return chooser_ ? chooser_(request) : RunFileDialog(this, request);
}

bool CMdfExcavatorDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == start_ && event->type() == QEvent::FocusOut) RecognizeSource();
  return QDialog::eventFilter(watched, event);
}

void CMdfExcavatorDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  std::array<int, 5> widths = ColumnWidths(list_->viewport()->width());
  for (int c = 0; c < kColumnCount; ++c) list_->setColumnWidth(c, std::max(20, widths[c]));
}

void CMdfExcavatorDlg::TakeSource(const tools::SourceFields& f) {
  if (f.sizeSectors) size_->setText(U(*f.sizeSectors));
  if (f.startSector) start_->setText(U(*f.startSector));
  if (f.detect) RecognizeSource();
}

void CMdfExcavatorDlg::RecognizeSource() {
  QString path = source_->SourcePath();
  if (path.isEmpty()) return;
  platform::OpenResult open = platform::OpenSharedReadOnly(path.toStdString());
  if (!open.file) return;
  tools::Recognition r = tools::RecognizeFileSystem(*open.file, SectorFieldValue(start_->text()));
  free_only_->setEnabled(r.freeClustersAllowed);
  fs_label_->setText(U(FileSystemLabel(r)));
  if (r.clusterField) cluster_->setText(QString::number(*r.clusterField));
  if (r.sizeField) size_->setText(QString::number(static_cast<qulonglong>(*r.sizeField)));
  fs_label_->update();
}

void CMdfExcavatorDlg::RunBehindProgress(std::function<void(CProgressDLG2*)> work, bool busy_bar) {
  running_ = true;
  CProgressDLG2 progress(running_, this);
  if (busy_bar) progress.SetPercent(-1);
  CProgressDLG2* p = &progress;
  worker_.Start([work = std::move(work), p] {
    work(p);
    QMetaObject::invokeMethod(p, [p] { p->Finish(); }, Qt::QueuedConnection);
  }, /*above_normal=*/true);
  if (progress_hook_) QTimer::singleShot(0, p, [this, p] { progress_hook_(*p); });
  progress.exec();
  worker_.Wait();  // after a stop the worker ends within one unit
  running_ = false;
  worker_messages_.ForwardTo(*messages_);
}

void CMdfExcavatorDlg::Run() {
  if (worker_.Running()) return;
  tools::SearchParams params;
  params.startSector = SectorFieldValue(start_->text());
  params.sizeSectors = SectorFieldValue(size_->text());
  params.clusterField = SectorFieldValue(cluster_->text());
  params.freeClustersOnly = free_only_->isChecked() && free_only_->isEnabled();
  if (params.clusterField == 0) {  // the scan unit would divide by zero
    messages_->Notify(EngineNotice::kClusterSizeZero);
    return;
  }
  search_path_ = source_->SourcePath().toStdString();
  fragments_.clear();
  list_->setRowCount(0);
  search_ = {};
  std::string path = search_path_;
  RunBehindProgress(
      [this, path, params](CProgressDLG2* p) {
        DialogObserver observer(p, [this](tools::Fragment f) { AddRow(f); });
        search_ = tools::SearchFragmentsInFile(path, params, running_, observer, worker_messages_);
      },
      false);
  // The list is the search's own, also when rows were still on their way.
  fragments_ = search_.fragments;
  FillList();
}

void CMdfExcavatorDlg::AddRow(const tools::Fragment& f) {
  int row = list_->rowCount();
  list_->insertRow(row);
  const std::string texts[kColumnCount] = {tools::FragmentNumberText(f), tools::FragmentSectorsText(f),
                                           tools::FragmentSizeText(f), tools::FragmentPagesText(f),
                                           f.extra};
  for (int c = 0; c < kColumnCount; ++c) {
    auto* item = new QTableWidgetItem(U(texts[c]));
    item->setTextAlignment(Qt::AlignCenter);
    if (c == 0) {
      item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
      item->setCheckState(f.checked ? Qt::Checked : Qt::Unchecked);
    }
    list_->setItem(row, c, item);
  }
}

void CMdfExcavatorDlg::FillList() {
  list_->setRowCount(0);
  for (const tools::Fragment& f : fragments_) AddRow(f);
}

void CMdfExcavatorDlg::ReadChecks() {
  for (size_t i = 0; i < fragments_.size() && i < static_cast<size_t>(list_->rowCount()); ++i)
    if (QTableWidgetItem* item = list_->item(static_cast<int>(i), 0))
      fragments_[i].checked = item->checkState() == Qt::Checked;
}

void CMdfExcavatorDlg::WriteChecks() {
  for (size_t i = 0; i < fragments_.size() && i < static_cast<size_t>(list_->rowCount()); ++i)
    if (QTableWidgetItem* item = list_->item(static_cast<int>(i), 0))
      item->setCheckState(fragments_[i].checked ? Qt::Checked : Qt::Unchecked);
}

void CMdfExcavatorDlg::ShowRowMenu(const QPoint& pos) {
  if (!list_->itemAt(pos)) return;  // the menu belongs to a row
  QMenu menu(this);
  menu.setObjectName("184");
  const std::pair<int, const char*> items[] = {
      {kCmdCheckAll, "全部打钩"},
      {kCmdCheckSelected, "选中打钩"},
      {0, nullptr},
      {kCmdExtractCurrent, "提取当前碎片"},
      {kCmdExtractChecked, "提取勾选碎片并合并"},
      {kCmdCheckedStatistics, "统计勾选碎片信息"},
      {kCmdCopyStartSector, "复制碎片的开始扇区到剪贴板"},
      {kCmdSaveList, "保存碎片页、扇区信息"},
  };
  for (const auto& [id, text] : items) {
    if (!text) {
      menu.addSeparator();
      continue;
    }
    QAction* a = menu.addAction(U(text));
    connect(a, &QAction::triggered, this, [this, id = id] { OnRowCommand(id); });
  }
  menu.exec(list_->viewport()->mapToGlobal(pos));
}

void CMdfExcavatorDlg::OnRowCommand(int id) {
  if (worker_.Running()) return;
  ReadChecks();
  int current = list_->currentRow();
  bool has_current = current >= 0 && static_cast<size_t>(current) < fragments_.size();
  switch (id) {
    case kCmdCheckAll:
      tools::CheckAll(fragments_);
      WriteChecks();
      return;
    case kCmdCheckSelected: {
      std::vector<size_t> rows;
      for (const QModelIndex& index : list_->selectionModel()->selectedRows())
        rows.push_back(static_cast<size_t>(index.row()));
      std::sort(rows.begin(), rows.end());  // walked from the top
      tools::CheckSelected(fragments_, rows);
      WriteChecks();
      return;
    }
    case kCmdExtractCurrent:
      if (has_current) Extract({fragments_[static_cast<size_t>(current)]});
      return;
    case kCmdExtractChecked: {
      std::vector<tools::Fragment> chosen;
      for (const tools::Fragment* f : tools::CheckedFragments(fragments_)) chosen.push_back(*f);
      if (chosen.empty()) {
        messages_->ShowStop(U("没有勾选的碎片。").toStdString());
        return;
      }
      Extract(std::move(chosen));
      return;
    }
    case kCmdCheckedStatistics: {
      uint64_t count = 0, pages = 0, sectors = 0;
      for (const tools::Fragment* f : tools::CheckedFragments(fragments_)) {
        ++count;
        pages += f->PagesFound();
        sectors += f->lastSector + tools::kSectorsPerPageOnDisk - f->firstSector;
      }
      messages_->ShowStop(U("勾选碎片: %1 个，找到的页: %2 页，所占扇区: %3 个")
                              .arg(static_cast<qulonglong>(count))
                              .arg(static_cast<qulonglong>(pages))
                              .arg(static_cast<qulonglong>(sectors))
                              .toStdString());
      return;
    }
    case kCmdCopyStartSector:
      if (has_current)
        QApplication::clipboard()->setText(QString::number(
            static_cast<qulonglong>(fragments_[static_cast<size_t>(current)].firstSector)));
      return;
    case kCmdSaveList: SaveList(); return;
    default: return;
  }
}

void CMdfExcavatorDlg::Extract(std::vector<tools::Fragment> chosen) {
  QString out = Choose({true, "mdf", "", U(kMdfFilter)});
  if (out.isEmpty()) return;
  extraction_ = {};
  std::string source = search_path_;
  std::string out_path = out.toStdString();
  RunBehindProgress(
      [this, source, out_path, chosen = std::move(chosen)](CProgressDLG2*) {
        std::vector<const tools::Fragment*> pointers;
        for (const tools::Fragment& f : chosen) pointers.push_back(&f);
        // Pages of different databases never share a file: one file each.
        const auto groups = tools::GroupByDatabase(pointers);
        extraction_files_ = 0;
        extraction_.completed = true;
        for (size_t i = 0; i < groups.size() && extraction_.completed; ++i) {
          tools::ExtractionResult x = tools::ExtractFragmentsToFile(
              source, groups[i], tools::GroupOutputPath(out_path, i, groups.size()), running_,
              worker_messages_);
          extraction_.completed = x.completed;
          extraction_.stopped = x.stopped;
          extraction_.pagesWritten += x.pagesWritten;
          extraction_.pagesSkipped += x.pagesSkipped;
          if (x.completed) ++extraction_files_;
        }
      },
      true);
  if (extraction_.completed && extraction_files_ > 1)
    messages_->ShowStop(U("提取完成：碎片属于 %1 个数据库，写入 %1 个文件（%2 起），共 %3 页，跳过 %4 页。")
                            .arg(static_cast<qulonglong>(extraction_files_))
                            .arg(QString::fromStdString(tools::GroupOutputPath(out_path, 0, 2)))
                            .arg(static_cast<qulonglong>(extraction_.pagesWritten))
                            .arg(static_cast<qulonglong>(extraction_.pagesSkipped))
                            .toStdString());
  else if (extraction_.completed)
    messages_->ShowStop(U("提取完成：写入 %1 页，跳过 %2 页。")
                            .arg(static_cast<qulonglong>(extraction_.pagesWritten))
                            .arg(static_cast<qulonglong>(extraction_.pagesSkipped))
                            .toStdString());
}

void CMdfExcavatorDlg::SaveList() {
  ReadChecks();
  QString out = Choose({true, "csv", "", U(kCsvFilter)});
  if (out.isEmpty()) return;
  if (platform::OutputIsInput(search_path_, out.toStdString())) {
    messages_->Notify(EngineNotice::kOutputIsInput);
    return;
  }
  std::string csv = tools::FragmentListCsv(fragments_);
  platform::CreateResult file = platform::CreateOutputFile(out.toStdString());
  if (!file.file ||
      !file.file->Write({reinterpret_cast<const uint8_t*>(csv.data()), csv.size()}) ||
      !file.file->Commit())
    messages_->ShowStop(U("文件保存失败！").toStdString());
}

void CMdfExcavatorDlg::done(int r) {
  if (worker_.Running()) return;  // the search's own progress dialog is modal over us
  QDialog::done(r);
}

}  // namespace tollamer::app
