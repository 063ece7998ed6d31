// CSQLVersion: the modal "SQL 版本选择" dialog asked before every open.
// Neither radio button is checked when it opens, unless the detector
// proposed a version; OK sets the version setting from the checked button,
// and with none checked (or on Escape) the previous setting stays.
#pragma once

#include <QDialog>

#include "engine/pagestore/server_version.h"

class QLabel;
class QRadioButton;

namespace tollamer::app {

class CSQLVersion : public QDialog {
  Q_OBJECT
 public:
  // Control ids of the dialog's template, kept as object names.
  static constexpr int kIdOk = 1;
  static constexpr int kIdSql2000 = 1008;
  static constexpr int kIdSql2005 = 1009;

  CSQLVersion(VersionSetting& setting, const VersionGuess& detected, QWidget* parent = nullptr);

  QRadioButton* sql2000Button() const { return sql2000_; }
  QRadioButton* sql2005Button() const { return sql2005_; }
  QLabel* detectionLabel() const { return detection_; }

  // "检测到: SQL Server 2008 (655)", or empty when nothing was detected.
  static QString DetectionText(const VersionGuess& detected);

  void accept() override;  // the OK handler

 private:
  VersionSetting& setting_;
  QRadioButton* sql2000_;
  QRadioButton* sql2005_;
  QLabel* detection_;
};

}  // namespace tollamer::app
