// The engine services the desktop program is built with: the catalog
// builder of each version and the table row reader.
#pragma once

#include "app/main_frame.h"

namespace tollamer::app {

CTollamerDoc::CatalogBuilder DefaultCatalogBuilder();
CMainFrame::TableReader DefaultTableReader();

}  // namespace tollamer::app
