#include "app/bak_to_mdf_dialog.h"

#include <QFont>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

namespace tollamer::app {

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

class DialogObserver final : public tools::ConversionObserver {
 public:
  explicit DialogObserver(std::function<void(int)> sink) : sink_(std::move(sink)) {}
  void OnProgress(int percent) override { sink_(percent); }

 private:
  std::function<void(int)> sink_;
};

}  // namespace

CBAKTOMDFDLG::CBAKTOMDFDLG(EngineMessages* messages, QWidget* parent)
    : QDialog(parent), messages_(messages) {
  if (!messages_) {
    boxes_ = std::make_unique<ToolMessageBoxes>(this);
    messages_ = boxes_.get();
  }
  setWindowTitle(U("bak 转 mdf"));
  setObjectName("181");

  backup_ = new QLineEdit(this);
  backup_->setObjectName(QString::number(kIdBackupPath));
  backup_->setMinimumWidth(360);
  data_ = new QLineEdit(this);
  data_->setObjectName(QString::number(kIdDataPath));
  auto* choose_backup = new QPushButton(U("……"), this);
  choose_backup->setObjectName(QString::number(kIdChooseBackup));
  auto* choose_data = new QPushButton(U("……"), this);
  choose_data->setObjectName(QString::number(kIdChooseData));
  auto* arrow = new QLabel(U("↓"), this);
  arrow->setObjectName(QString::number(kIdArrow));
  QFont arrow_font = arrow->font();
  arrow_font.setPixelSize(24);
  arrow->setFont(arrow_font);
  arrow->setStyleSheet("color: red;");
  arrow->setAlignment(Qt::AlignCenter);
  run_ = new QPushButton(U("运行"), this);
  run_->setObjectName(QString::number(kIdRun));
  progress_ = new QProgressBar(this);
  progress_->setObjectName(QString::number(kIdProgress));
  progress_->setRange(0, 100);
  progress_->setVisible(false);
  for (QPushButton* b : {choose_backup, choose_data, run_}) b->setAutoDefault(false);

  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel(U("BAK位置:"), this), 0, 0);
  grid->addWidget(backup_, 0, 1);
  grid->addWidget(choose_backup, 0, 2);
  grid->addWidget(arrow, 1, 1);
  grid->addWidget(new QLabel(U("MDF位置:"), this), 2, 0);
  grid->addWidget(data_, 2, 1);
  grid->addWidget(choose_data, 2, 2);
  grid->addWidget(progress_, 3, 0, 1, 3);
  grid->addWidget(run_, 4, 2);

  connect(choose_backup, &QPushButton::clicked, this, [this] {
    QString path = Choose({false, "bak", "", "bak files(*.bak)|*.bak|All files(*.*)|*.*||"});
    if (!path.isEmpty()) backup_->setText(path);
  });
  connect(choose_data, &QPushButton::clicked, this, [this] {
    QString path = Choose({true, "mdf", "", "mdf files(*.mdf)|*.mdf|All files(*.*)|*.*||"});
    if (!path.isEmpty()) data_->setText(path);
  });
  connect(run_, &QPushButton::clicked, this, &CBAKTOMDFDLG::Run);
}

CBAKTOMDFDLG::~CBAKTOMDFDLG() {
  running_ = false;
  worker_.Wait();
}

QString CBAKTOMDFDLG::Choose(const FileDialogRequest& request) {
  return chooser_ ? chooser_(request) : RunFileDialog(this, request);
}

QString CBAKTOMDFDLG::CompletionText(const tools::ConversionResult& r) {
  return U("转换完成：共写入 %1 页，其中 %2 页不完整。")
      .arg(static_cast<qulonglong>(r.pagesWritten))
      .arg(static_cast<qulonglong>(r.incompletePages));
}

void CBAKTOMDFDLG::Run() {
  if (worker_.Running()) return;  // one run at a time
  worker_.Wait();
  std::string backup = backup_->text().toStdString();
  std::string data = data_->text().toStdString();
  progress_->setValue(0);
  progress_->setVisible(true);
  run_->setEnabled(false);
  running_ = true;
  worker_.Start([this, backup, data] {
    DialogObserver observer([this](int percent) {
      QMetaObject::invokeMethod(this, [this, percent] { progress_->setValue(percent); },
                                Qt::QueuedConnection);
    });
    tools::ConversionResult result =
        tools::ConvertBackupFile(backup, data, running_, observer, worker_messages_);
    QMetaObject::invokeMethod(this, [this, result] { OnWorkerEnded(result); }, Qt::QueuedConnection);
  });
}

void CBAKTOMDFDLG::OnWorkerEnded(const tools::ConversionResult& result) {
  worker_.Wait();
  running_ = false;
  last_ = result;
  progress_->setVisible(false);
  run_->setEnabled(true);
  worker_messages_.ForwardTo(*messages_);
  if (result.completed) messages_->ShowStop(CompletionText(result).toStdString());
  emit conversionEnded();
}

void CBAKTOMDFDLG::done(int r) {
  if (worker_.Running()) return;  // the worker still writes the file and drives the bar
  QDialog::done(r);
}

}  // namespace tollamer::app
