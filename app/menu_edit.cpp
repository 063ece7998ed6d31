#include "app/menu_edit.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPalette>

#include "app/tool_source_menu.h"

namespace tollamer::app {

namespace {

QString U(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

CMenuEdit::CMenuEdit(const QString& prompt, bool prompt_enabled, int colour_style,
                     const platform::BlockDevices& devices, QWidget* parent)
    : QLineEdit(parent),
      prompt_(prompt),
      prompt_enabled_(prompt_enabled),
      colour_style_(colour_style),
      devices_(devices) {
  menu_ = ReadableSourceMenu(devices_);
  holder_ = new QMenu(this);
  qmenu_ = holder_->addMenu("&File");
  // Disks that cannot be read are named too, greyed, after those that can.
  std::vector<std::string> unreadable = UnreadableDiskTexts(devices_, menu_);
  for (const tools::SourceMenuItem& item : menu_.items) {
    if (item.kind == tools::SourceMenuItem::Kind::kSeparator) {
      for (const std::string& text : unreadable) qmenu_->addAction(U(text))->setEnabled(false);
      unreadable.clear();
      qmenu_->addSeparator();
      continue;
    }
    QAction* a = qmenu_->addAction(U(item.text));
    a->setData(item.id);
    a->setObjectName(QString::number(item.id));
    connect(a, &QAction::triggered, this, [this, id = item.id] { OnSourceCommand(id); });
  }
  if (prompt_enabled_) setText(prompt_);
  ApplyTextColour(false);
}

void CMenuEdit::SetPromptText(const QString& prompt) {
  bool shown = IsPromptShown();
  prompt_ = prompt;
  if (shown) setText(prompt_);
}

bool CMenuEdit::IsPromptShown() const {
  return !prompt_.isEmpty() && text().compare(prompt_, Qt::CaseInsensitive) == 0;
}

void CMenuEdit::SetPromptColourStyle(int style) {
  colour_style_ = style;
  ApplyTextColour(hasFocus());
}

int CMenuEdit::GetTrimmedText(QString& out) const {
  out = text().trimmed();
  return static_cast<int>(out.size());
}

QString CMenuEdit::SourcePath() const {
  if (IsPromptShown()) return {};
  if (!image_chosen_.isEmpty() && text() == image_shown_) return image_chosen_;
  return text().trimmed();
}

QColor CMenuEdit::PromptColour() const {
  const QPalette& p = QApplication::palette(this);
  switch (colour_style_) {
    case kHighlight: return p.color(QPalette::Highlight);
    case kGrayText: return p.color(QPalette::Disabled, QPalette::Text);
    case kHotTrack: return p.color(QPalette::Link);
    default: return p.color(QPalette::WindowText);
  }
}

void CMenuEdit::ApplyTextColour(bool focused) {
  QPalette p = palette();
  const QPalette& app = QApplication::palette(this);
  p.setColor(QPalette::Base, app.color(QPalette::Base));
  p.setColor(QPalette::Text, focused ? app.color(QPalette::WindowText) : PromptColour());
  setPalette(p);
}

void CMenuEdit::focusInEvent(QFocusEvent* event) {
  if (IsPromptShown()) clear();
  ApplyTextColour(true);
  QLineEdit::focusInEvent(event);
}

void CMenuEdit::focusOutEvent(QFocusEvent* event) {
  QString trimmed;
  if (IsPromptShown())
    setText(prompt_);
  else if (prompt_enabled_ && GetTrimmedText(trimmed) == 0)
    setText(prompt_);
  ApplyTextColour(false);
  QLineEdit::focusOutEvent(event);
}

void CMenuEdit::mousePressEvent(QMouseEvent* event) {
  if (IsPromptShown()) clear();
  QLineEdit::mousePressEvent(event);
}

void CMenuEdit::ShowSourceMenu(const QPoint& global_pos) { qmenu_->exec(global_pos); }

void CMenuEdit::contextMenuEvent(QContextMenuEvent* event) {
  qmenu_->exec(event->globalPos());
  event->accept();
}

void CMenuEdit::changeEvent(QEvent* event) {
  QLineEdit::changeEvent(event);
  // System colours changed: the prompt colour follows.
  if (event->type() == QEvent::ApplicationPaletteChange) ApplyTextColour(hasFocus());
}

void CMenuEdit::OnSourceCommand(int id) {
  if (id == tools::kImageItemId) {
    FileDialogRequest request;
    request.filter = QString::fromUtf8(tools::kImageFilter);
    QString chosen = chooser_ ? chooser_(request) : RunFileDialog(this, request);
    if (chosen.isEmpty()) return;
    tools::SourceFields fields = tools::ChooseImageFile(chosen.toStdString());
    image_shown_ = U(fields.sourcePath);
    image_chosen_ = chosen;
    Take(fields);
    return;
  }
  std::optional<tools::SourceFields> fields = tools::ChooseSourceItem(menu_, id, devices_);
  if (!fields) return;
  image_chosen_.clear();
  Take(*fields);
}

void CMenuEdit::Take(const tools::SourceFields& fields) {
  setText(U(fields.sourcePath));
  setFocus();
  ApplyTextColour(hasFocus());
  if (objectName() == QString::number(kSourceFieldId) && fields.detect) emit sourceChosen(fields);
}

}  // namespace tollamer::app
