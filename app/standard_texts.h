// Chinese for the texts that Qt draws itself: the standard buttons of
// message boxes and dialogs (OK, Cancel, Yes, No ...), the file dialog's
// labels and columns and the edit menus of text fields. Without it those
// stay English beside the program's own Chinese texts.
#pragma once

#include <QTranslator>

namespace tollamer::app {

class StandardTextsTranslator : public QTranslator {
 public:
  using QTranslator::QTranslator;
  QString translate(const char* context, const char* source_text, const char* disambiguation,
                    int n) const override;
  bool isEmpty() const override { return false; }
};

}  // namespace tollamer::app
