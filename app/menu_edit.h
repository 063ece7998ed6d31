// CMenuEdit: the source field of the fragment search. An edit that shows a
// prompt while it is empty and unfocused, and offers on right-click the
// data source menu: the machine's disks, its fixed volumes and "Select File
// (image)". Choosing an entry writes the source path into the edit and,
// when the edit is control 1077, hands the start sector and size to its
// dialog (sourceChosen), which then recognises the file system at once.
#pragma once

#include <QLineEdit>

#include "app/tool_file_dialog.h"
#include "platform/block_devices.h"
#include "tools/data_sources.h"

class QMenu;

namespace tollamer::app {

class CMenuEdit : public QLineEdit {
  Q_OBJECT
 public:
  static constexpr int kSourceFieldId = 1077;

  // Prompt colour styles: window text, highlight, grey text, hot-track.
  enum PromptColourStyle : int { kWindowText = 0, kHighlight = 1, kGrayText = 2, kHotTrack = 3 };

  // Builds the source menu from `devices` (which must outlive the edit).
  CMenuEdit(const QString& prompt, bool prompt_enabled, int colour_style,
            const platform::BlockDevices& devices, QWidget* parent = nullptr);

  virtual void SetPromptText(const QString& prompt);
  virtual QString GetPromptText() const { return prompt_; }
  // The edit's text equals the prompt, ignoring case.
  virtual bool IsPromptShown() const;
  virtual void SetPromptEnabled(bool enabled) { prompt_enabled_ = enabled; }
  virtual bool GetPromptEnabled() const { return prompt_enabled_; }
  virtual void SetPromptColourStyle(int style);
  virtual int GetPromptColourStyle() const { return colour_style_; }
  // The text without leading and trailing blanks; returns its length.
  virtual int GetTrimmedText(QString& out) const;

  // The path to read: the text, except for an image chosen without an
  // extension, which is shown with ".kvt" but read as chosen. Empty while
  // the prompt is shown.
  QString SourcePath() const;
  QColor PromptColour() const;

  const tools::SourceMenu& sourceMenu() const { return menu_; }
  QMenu* menu() const { return qmenu_; }
  // Shows the source menu at a screen position (the right-click menu, also
  // offered by a button beside the edit).
  void ShowSourceMenu(const QPoint& global_pos);
  // Runs a source menu command (2000 .. 2011; others do nothing).
  void OnSourceCommand(int id);
  void SetFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }

 signals:
  void sourceChosen(const tollamer::tools::SourceFields& fields);

 protected:
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void ApplyTextColour(bool focused);
  void Take(const tools::SourceFields& fields);

  QString prompt_;
  bool prompt_enabled_;
  int colour_style_;
  const platform::BlockDevices& devices_;
  tools::SourceMenu menu_;
  QMenu* holder_ = nullptr;  // holds the source menu as its sub-menu "&File"
  QMenu* qmenu_ = nullptr;
  FileChooser chooser_;
  QString image_shown_;
  QString image_chosen_;
};

}  // namespace tollamer::app
