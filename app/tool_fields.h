// Number fields of the tool dialogs. The digits-only edits may still hold a
// blank (a chosen volume writes its start sector with one after it), so a
// field is read the way the C runtime reads a number: leading blanks
// skipped, digits up to the first other character, nothing giving 0.
#pragma once

#include <QString>

#include <cstdint>

namespace tollamer::app {

uint64_t SectorFieldValue(const QString& text);

}  // namespace tollamer::app
