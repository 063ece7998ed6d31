// File dialogs of the tool dialogs. Filters are written the way the tools
// name them ("SQL Files(*.mdf)|*.mdf|All Files(*.*)|*.*||") and turned into
// Qt's form here. Every dialog takes a chooser so that tests can answer the
// file dialog without showing it.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace tollamer::app {

struct FileDialogRequest {
  bool save = false;       // a save dialog (else open)
  QString defaultSuffix;   // "mdf", "" for none
  QString defaultName;     // "*.mdf", "" for none
  QString filter;          // pairs "description|patterns|", ended by "|"
};

// Returns the chosen full path, or an empty text on Cancel.
using FileChooser = std::function<QString(const FileDialogRequest&)>;

// "A(*.a)|*.a|B|*.b;*.c||" -> "A(*.a);;B (*.b *.c)": a description that
// already ends in its parenthesised patterns is kept as it stands.
QString QtFilterOf(const QString& pairs);

// Shows the request as a modal file dialog over `parent`.
QString RunFileDialog(QWidget* parent, const FileDialogRequest& request);

}  // namespace tollamer::app
