// Command ids of the desktop program. They are the identity of each action:
// menus, accelerators, toolbar buttons and context menus all carry them.
#pragma once

namespace tollamer::app {

enum CommandId : int {
  kCmdOpen = 57601,
  kCmdAddFile = 32841,  // a file of the open database: a secondary data file, a stripe
  kCmdClose = 32805,
  kCmdCloseDocument = 32772,
  kCmdSaveLog = 32773,
  kCmdClearLog = 32775,
  kCmdExit = 57665,
  kCmdToolbar = 59392,
  kCmdWorkLog = 32777,
  kCmdDetection = 32808,
  kCmdBakToMdf = 32835,
  kCmdExcavation = 32840,
  kCmdExportAllTableStructures = 32810,
  kCmdExportSelectedTableStructure = 32811,
  kCmdExportAllTableData = 32812,
  kCmdExportSelectedTableData = 32813,
  kCmdImportAllTables = 32814,
  kCmdImportSelectedTable = 32815,
  kCmdAbout = 57664,
  kCmdHelp = 32827,
  kCmdSaveLogAndShutDown = 32837,
  // Object tree context menus.
  kCmdFindTable = 32833,
  kCmdTreeExportAllTableStructures = 32785,
  kCmdTreeExportSelectedTableStructure = 32784,
  kCmdTreeExportAllData = 32786,
  kCmdTreeExportSelectedTableData = 32787,
  kCmdScanAllTables = 32804,
  kCmdTreeImportSelectedTable = 32806,
  kCmdExportThisView = 32791,
  kCmdExportAllViews = 32790,
  kCmdExportThisProcedure = 32793,
  kCmdExportAllProcedures = 32794,
  kCmdExportThisFunction = 32797,
  kCmdExportAllFunctions = 32798,
  kCmdExportThisType = 32801,
  kCmdExportAllTypes = 32802,
};

}  // namespace tollamer::app
