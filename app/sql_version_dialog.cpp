#include "app/sql_version_dialog.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "platform/version.h"

namespace tollamer::app {

QString CSQLVersion::DetectionText(const VersionGuess& g) {
  if (g.setting == VersionSetting::kNone) return {};
  QString text = QString::fromUtf8("检测到: ") + QString::fromStdString(g.name);
  if (g.dbiVersion) text += QString(" (%1)").arg(*g.dbiVersion);
  return text;
}

CSQLVersion::CSQLVersion(VersionSetting& setting, const VersionGuess& detected, QWidget* parent)
    : QDialog(parent), setting_(setting) {
  setWindowTitle(QString::fromUtf8("SQL 版本选择"));
  setMinimumWidth(260);  // room for the whole title beside the caption buttons
  // No system menu, no minimise or maximise box.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

  sql2000_ = new QRadioButton(QString::fromUtf8(platform::kVersionsRead2000), this);
  sql2000_->setObjectName(QString::number(kIdSql2000));
  sql2005_ = new QRadioButton(QString::fromUtf8(platform::kVersionsRead2005), this);
  sql2005_->setObjectName(QString::number(kIdSql2005));
  auto* group = new QButtonGroup(this);
  group->addButton(sql2000_);
  group->addButton(sql2005_);

  detection_ = new QLabel(DetectionText(detected), this);
  detection_->setVisible(!detection_->text().isEmpty());
  if (detected.setting == VersionSetting::kSql2000) sql2000_->setChecked(true);
  if (detected.setting == VersionSetting::kSql2005) sql2005_->setChecked(true);

  auto* ok = new QPushButton(QString::fromUtf8("确定"), this);
  ok->setObjectName(QString::number(kIdOk));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &CSQLVersion::accept);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(detection_);
  layout->addWidget(sql2000_);
  layout->addWidget(sql2005_);
  layout->addWidget(ok, 0, Qt::AlignRight);
}

void CSQLVersion::accept() {
  if (sql2000_->isChecked()) setting_ = VersionSetting::kSql2000;
  if (sql2005_->isChecked()) setting_ = VersionSetting::kSql2005;
  QDialog::accept();
}

}  // namespace tollamer::app
