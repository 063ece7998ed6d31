#include "app/detection_page.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/tool_page_map_view.h"
#include "engine/pagestore/page_layout.h"
#include "platform/block_devices.h"
#include "tools/backup_conversion.h"
#include "tools/page_map_png.h"

namespace tollamer::app {

namespace {

using tools::PageKind;


// The count fields in the order the dialog shows them, with their ids.
struct CountRow {
  PageKind kind;
  int id;
};
constexpr CountRow kCountRows[] = {
    {PageKind::kData, 1018},    {PageKind::kIndex, 1019},     {PageKind::kNull, 1020},
    {PageKind::kErr, 1021},     {PageKind::kBoot, 1022},      {PageKind::kLob, 1030},
    {PageKind::kMlMap, 1031},   {PageKind::kDiffMap, 1032},   {PageKind::kSgam, 1033},
    {PageKind::kGam, 1034},     {PageKind::kPfs, 1035},       {PageKind::kFileHeader, 1036},
    {PageKind::kIam, 1023},
};

QString U(const char* s) { return QString::fromUtf8(s); }
QString U(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

QLabel* BlueLabel(const QString& text, QWidget* parent) {
  auto* l = new QLabel(text, parent);
  l->setStyleSheet("color: #1030c0;");
  return l;
}

// Reports the engine's throttled progress to the dialog's thread.
class DialogObserver final : public tools::DetectionObserver {
 public:
  using Sink = std::function<void(int, tools::KindCounts)>;
  explicit DialogObserver(Sink sink) : sink_(std::move(sink)) {}
  void OnProgress(int percent, const tools::KindCounts& counts) override { sink_(percent, counts); }

 private:
  Sink sink_;
};

}  // namespace

int CDetectionPage::CountFieldId(PageKind kind) {
  for (const CountRow& r : kCountRows)
    if (r.kind == kind) return r.id;
  return 0;
}

CDetectionPage::CDetectionPage(EngineMessages* messages, QWidget* parent)
    : QDialog(parent), messages_(messages) {
  if (!messages_) {
    boxes_ = std::make_unique<ToolMessageBoxes>(this);
    messages_ = boxes_.get();
  }
  setWindowTitle("Detection");
  setObjectName("143");

  auto* grid = new QGridLayout;
  int row = 0;
  auto add_field = [&](const QString& label, int id, const QString& initial, const QString& unit = {}) {
    grid->addWidget(BlueLabel(label, this), row, 0);
    auto* value = new QLabel(initial, this);
    value->setObjectName(QString::number(id));
    value->setMinimumWidth(90);
    fields_[id] = value;
    grid->addWidget(value, row, 1);
    if (!unit.isEmpty()) grid->addWidget(new QLabel(unit, this), row, 2);
    ++row;
    return value;
  };
  add_field(U("文件名:"), kIdFileName, QString());
  add_field(U("大小:"), kIdSize, QString(), "KB");
  add_field(U("页数:"), kIdPages, QString());
  for (const CountRow& r : kCountRows) {
    QLabel* value = add_field(U(tools::CensusLabel(r.kind)), r.id, "0");
    counts_[r.kind] = value;
    if (r.kind == PageKind::kNull || r.kind == PageKind::kErr) {
      int share_id = r.kind == PageKind::kNull ? kIdNullShare : kIdErrShare;
      auto* share = new QLabel("0%", this);
      share->setObjectName(QString::number(share_id));
      share->setStyleSheet("color: #d01010; background: #fff4e8;");
      fields_[share_id] = share;
      grid->addWidget(share, row - 1, 2);
    }
  }

  progress_ = new QProgressBar(this);
  progress_->setObjectName(QString::number(kIdProgress));
  progress_->setRange(0, 100);
  progress_->setValue(0);

  auto* choose = new QPushButton(U("选择文件"), this);
  choose->setObjectName(QString::number(kIdChooseFile));
  start_ = new QPushButton(U("开始检测"), this);
  start_->setObjectName(QString::number(kIdStart));
  stop_ = new QPushButton(U("停止检测"), this);
  stop_->setObjectName(QString::number(kIdStop));
  stop_->setEnabled(false);  // only a running census can be stopped
  QPushButton* stop = stop_;
  for (QPushButton* b : {choose, start_, stop}) b->setAutoDefault(false);
  connect(choose, &QPushButton::clicked, this, &CDetectionPage::OnChooseClicked);
  connect(start_, &QPushButton::clicked, this, &CDetectionPage::Start);
  connect(stop, &QPushButton::clicked, this, &CDetectionPage::Stop);
  save_map_ = new QPushButton(U("保存页图"), this);
  save_map_->setAutoDefault(false);
  save_map_->setEnabled(false);  // there is a picture once a census ended
  connect(save_map_, &QPushButton::clicked, this, &CDetectionPage::SaveMap);

  map_view_ = new CPageMapView(this);
  map_view_->setObjectName("pageMap");

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(choose);
  buttons->addWidget(start_);
  buttons->addWidget(stop);
  buttons->addWidget(save_map_);
  auto* left = new QVBoxLayout;
  left->addLayout(grid);
  left->addStretch(1);
  auto* top = new QHBoxLayout;
  top->addLayout(left);
  top->addWidget(map_view_, 1);
  auto* outer = new QVBoxLayout(this);
  outer->addLayout(top, 1);
  outer->addWidget(progress_);
  outer->addLayout(buttons);
}

CDetectionPage::~CDetectionPage() {
  running_ = false;
  worker_.Wait();
}

QLabel* CDetectionPage::Field(int id) const {
  auto it = fields_.find(id);
  return it == fields_.end() ? nullptr : it->second;
}

void CDetectionPage::OnChooseClicked() {
  FileDialogRequest request;
  request.defaultSuffix = "SQL";
  request.defaultName = "*.mdf";
  request.filter = "SQL Files(*.mdf)|*.mdf|Text Files(*.txt)|*.txt|All Files(*.*)|*.*||";
  QString path = chooser_ ? chooser_(request) : RunFileDialog(this, request);
  if (!path.isEmpty()) ChooseFile(path);
}

void CDetectionPage::ChooseFile(const QString& path) {
  if (worker_.Running()) return;  // the worker reads the remembered path
  path_ = path;
  Field(kIdFileName)->setText(QFileInfo(path).fileName());
  platform::OpenResult open = platform::OpenSharedReadOnly(path.toStdString());
  if (!open.file) {
    messages_->Notify(EngineNotice::kFileOpenFailed);
    return;
  }
  uint64_t bytes = open.file->Length();
  pages_ = bytes / page_layout::kPageSize;
  Field(kIdSize)->setText(QString::number(static_cast<qulonglong>(bytes / 1024)));
  Field(kIdPages)->setText(QString::number(static_cast<qulonglong>(pages_)));
  for (auto& [kind, label] : counts_) label->setText("0");
}

void CDetectionPage::Start() {
  if (worker_.Running()) return;  // one census at a time
  worker_.Wait();
  for (auto& [kind, label] : counts_) label->setText("0");
  Field(kIdNullShare)->setText("0%");
  Field(kIdErrShare)->setText("0%");
  map_view_->Clear();
  save_map_->setEnabled(false);
  progress_->setValue(0);
  running_ = true;
  stop_->setEnabled(true);
  std::string path = path_.toStdString();
  worker_.Start([this, path] {
    tools::DetectionResult result;
    platform::OpenResult open = platform::OpenSharedReadOnly(path);
    if (!open.file) {
      worker_messages_.Notify(EngineNotice::kFileOpenFailed);
    } else {
      DialogObserver observer([this](int percent, tools::KindCounts counts) {
        QMetaObject::invokeMethod(
            this,
            [this, percent, counts] {
              progress_->setValue(percent);
              ShowCounts(counts);
            },
            Qt::QueuedConnection);
      });
      result = tools::DetectPages(*open.file, running_, observer, kDialogMapCells);
    }
    QMetaObject::invokeMethod(this, [this, result] { OnWorkerEnded(result); }, Qt::QueuedConnection);
  });
}

void CDetectionPage::Stop() { running_ = false; }

void CDetectionPage::ShowCounts(const tools::KindCounts& counts) {
  for (auto& [kind, label] : counts_) {
    uint64_t n = counts[tools::KindIndex(kind)];
    label->setText(QString::number(static_cast<qulonglong>(n)));
  }
  Field(kIdNullShare)->setText(
      U(tools::SharePercentText(counts[tools::KindIndex(PageKind::kNull)], pages_)));
  Field(kIdErrShare)->setText(
      U(tools::SharePercentText(counts[tools::KindIndex(PageKind::kErr)], pages_)));
}

void CDetectionPage::OnWorkerEnded(const tools::DetectionResult& result) {
  worker_.Wait();
  running_ = false;
  stop_->setEnabled(false);
  last_ = result;
  if (result.opened) {
    if (result.backup) {  // counted by its page images, not its size
      pages_ = result.pages;
      Field(kIdPages)->setText(QString::number(static_cast<qulonglong>(pages_)));
    }
    // The counts in step with the pages read, also after a stop; the bar
    // stays where the census ended: full when it went through.
    ShowCounts(result.counts);
    if (!result.stopped) progress_->setValue(progress_->maximum());
    map_view_->SetMap(result.map);
    save_map_->setEnabled(!result.map.cells.empty());
  }
  worker_messages_.ForwardTo(*messages_);
  emit detectionEnded();
}

void CDetectionPage::SaveMap() {
  QString out = chooser_ ? chooser_({true, "png", "", "PNG(*.png)|*.png||"})
                         : RunFileDialog(this, {true, "png", "", "PNG(*.png)|*.png||"});
  if (out.isEmpty()) return;
  if (platform::OutputIsInput(path_.toStdString(), out.toStdString())) {
    messages_->Notify(EngineNotice::kOutputIsInput);
    return;
  }
  std::string error;
  if (!tools::SavePageMapPng(map_view_->map(), out.toStdString(), error))
    messages_->ShowStop(U("页图保存失败！").toStdString() + error);
}

void CDetectionPage::done(int r) {
  // Closing stops the census and waits for the worker (it ends within a page).
  running_ = false;
  worker_.Wait();
  QDialog::done(r);
}

}  // namespace tollamer::app
