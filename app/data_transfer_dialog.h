// The choice before a table data export or import: CSV or SQL files into a
// folder, or a SQLite file or a PostgreSQL connection string as the target.
#pragma once

#include <QDialog>

#include "output/data_export.h"

class QLineEdit;
class QRadioButton;

namespace tollamer::app {

struct DataTransferChoice {
  bool import = false;
  DataFormat format = DataFormat::kCsv;  // export
  std::string folder;                    // export
  std::string target;                    // import: "sqlite:PATH" or a connection string
};

class CDataTransferDlg : public QDialog {
  Q_OBJECT
 public:
  CDataTransferDlg(bool import, QWidget* parent = nullptr);
  DataTransferChoice choice() const { return choice_; }
  void accept() override;

  QRadioButton* firstOption() const { return first_; }
  QRadioButton* secondOption() const { return second_; }
  QLineEdit* pathEdit() const { return path_; }
  QLineEdit* connectionEdit() const { return connection_; }

 private:
  void Browse();

  bool import_;
  QRadioButton* first_;   // CSV / SQLite
  QRadioButton* second_;  // SQL / PostgreSQL
  QLineEdit* path_;       // folder / SQLite file
  QLineEdit* connection_;
  DataTransferChoice choice_;
};

}  // namespace tollamer::app
