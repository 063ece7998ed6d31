// The tool dialogs driven as a user would, on the offscreen platform:
// detection, backup conversion, fragment excavation with its source menu.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <filesystem>

#include "app/bak_to_mdf_dialog.h"
#include "app/command_ids.h"
#include "app/detection_page.h"
#include "app/main_frame.h"
#include "app/mdf_excavator_dialog.h"
#include "app/menu_edit.h"
#include "app/progress_dialog2.h"
#include "app/tool_fields.h"
#include "app/tool_file_dialog.h"
#include "app/tool_page_map_view.h"
#include "tests/fixtures/tools_fixtures.h"
#include "tests/test_support.h"
#include "tests/tools/fake_machine.h"
#include "tools/fragment_runs.h"

namespace tollamer::app {
namespace {

namespace fs = std::filesystem;
using fixtures::Bytes;
using fixtures::FormatVersion;
using testing::FakeMachine;
using testing::SparseFile;
using tools::PageKind;

constexpr uint64_t kPage = 8192;
constexpr uint64_t kSector = 512;

Bytes CarvedDatabase() { return fixtures::BuildCarvableDatabase(FormatVersion::kSql2000, 48).Image(); }

QString Q(const std::string& s) { return QString::fromStdString(s); }

// --- File detection -------------------------------------------------------

TEST(DetectionPageTest, ShowsTheCountsSharesAndPageMapAndNamesAnUnreadableFile) {
  testing::TempDir dir;
  Bytes file = CarvedDatabase();
  file.resize(file.size() + kPage, 0);     // an empty page
  file.resize(file.size() + kPage, 0xAB);  // a damaged one
  file.resize(file.size() + 100, 0x01);    // a partial page is not read
  std::string path = dir.Write("census.mdf", file);

  RecordingMessages messages;
  CDetectionPage dialog(&messages);
  dialog.SetFileChooser([&](const FileDialogRequest&) { return Q(path); });
  QTest::mouseClick(dialog.findChild<QPushButton*>("1011"), Qt::LeftButton);
  EXPECT_EQ(dialog.Field(CDetectionPage::kIdFileName)->text(), "census.mdf");
  EXPECT_EQ(dialog.Field(CDetectionPage::kIdSize)->text(), QString::number(file.size() / 1024));
  EXPECT_EQ(dialog.Field(CDetectionPage::kIdPages)->text(), "50");

  QSignalSpy ended(&dialog, &CDetectionPage::detectionEnded);
  QTest::mouseClick(dialog.findChild<QPushButton*>("1012"), Qt::LeftButton);
  ASSERT_TRUE(ended.wait(5000));
  // The kinds are counted by the census's own tests; here each reaches its field.
  EXPECT_EQ(dialog.CountField(PageKind::kFileHeader)->text(), "1");
  EXPECT_EQ(dialog.CountField(PageKind::kNull)->text(), "1");
  EXPECT_EQ(dialog.CountField(PageKind::kErr)->text(), "1");
  EXPECT_EQ(dialog.findChild<QLabel*>("1025")->text(), "2.0%");  // 1 of 50 damaged
  EXPECT_EQ(dialog.progressBar()->value(), 100) << "a finished census fills the bar";
  EXPECT_FALSE(dialog.findChild<QPushButton*>("1013")->isEnabled()) << "nothing left to stop";
  // The map's grouping is the census's; the view shows a cell per page.
  EXPECT_EQ(dialog.mapView()->map().cells.size(), 50u);
  EXPECT_TRUE(messages.stops.empty());

  // An unreadable file is named, by the choice and by the worker's own open.
  dialog.ChooseFile(Q(dir.File("missing.mdf")));
  ASSERT_EQ(messages.notices, std::vector<EngineNotice>{EngineNotice::kFileOpenFailed});
  dialog.Start();
  ASSERT_TRUE(ended.wait(5000));
  // the worker's notice arrives as the desktop's text
  EXPECT_EQ(messages.stops, std::vector<std::string>{"打开文件出错"});
  EXPECT_FALSE(dialog.lastResult().opened);
}

TEST(DetectionPageTest, StopAndCloseEndTheCensusAndLeaveCountsAndBarWhereTheyWere) {
  testing::TempDir dir;
  std::string path = SparseFile(dir, "big.mdf", uint64_t{16} << 30);
  RecordingMessages messages;
  CDetectionPage dialog(&messages);
  dialog.ChooseFile(Q(path));
  QSignalSpy ended(&dialog, &CDetectionPage::detectionEnded);
  dialog.Start();
  dialog.Start();  // a second start while running is refused
  QTRY_VERIFY_WITH_TIMEOUT(dialog.progressBar()->value() > 0, 10000);
  dialog.Stop();
  ASSERT_TRUE(ended.wait(5000));
  EXPECT_EQ(ended.size(), 1);
  const tools::DetectionResult& r = dialog.lastResult();
  EXPECT_TRUE(r.stopped);
  EXPECT_LT(r.pagesScanned, r.pages);
  EXPECT_GT(dialog.progressBar()->value(), 0) << "a stop keeps the bar's position";
  EXPECT_LT(dialog.progressBar()->value(), 100);
  EXPECT_EQ(dialog.CountField(PageKind::kNull)->text(), QString::number(r.pagesScanned))
      << "the counts shown are those of the pages read";
  EXPECT_FALSE(dialog.IsRunning());
  // Closing while a census runs stops it and waits for the worker.
  dialog.show();
  dialog.Start();
  ASSERT_TRUE(dialog.IsRunning());
  dialog.reject();
  EXPECT_FALSE(dialog.IsRunning());
  EXPECT_FALSE(dialog.isVisible());
}

TEST(PageMapViewTest, CellsFitTheAreaAndShrinkForMoreCells) {
  for (int cells : {50, 4096}) {
    PageMapGeometry g = FitPageMap(cells, 500, 200);
    EXPECT_LE(g.rows * g.cellPixels, 200) << cells;
    EXPECT_LE(g.cellsPerRow * g.cellPixels, 500) << cells;
    EXPECT_GE(g.cellsPerRow * g.rows, cells) << cells;
  }
  EXPECT_LT(FitPageMap(4096, 500, 200).cellPixels, FitPageMap(50, 500, 200).cellPixels);
  EXPECT_EQ(FitPageMap(0, 500, 200).cellPixels, 0);
  // More cells than pixels: one pixel each, the rows may run past the area.
  EXPECT_EQ(FitPageMap(1000000, 100, 100).cellPixels, 1);
}

// --- Backup conversion ----------------------------------------------------

TEST(BakToMdfDialogTest, ConvertsAFixtureBackupAndNamesAnUnopenableOne) {
  testing::TempDir dir;
  fixtures::FileBuilder db = fixtures::BuildCarvableDatabase(FormatVersion::kSql2000, 48);
  Bytes backup = db.BackupImage(0x1200);
  // The last image (page 3, which the backup repeats at its end) loses half
  // its sectors.
  backup.resize(backup.size() - 8 * kSector);
  std::string bak = dir.Write("pubs.bak", backup);
  std::string mdf = dir.File("pubs.mdf");

  RecordingMessages messages;
  CBAKTOMDFDLG dialog(&messages);
  std::vector<FileDialogRequest> asked;
  dialog.SetFileChooser([&](const FileDialogRequest& r) {
    asked.push_back(r);
    return Q(r.save ? mdf : bak);
  });
  QTest::mouseClick(dialog.findChild<QPushButton*>("1011"), Qt::LeftButton);
  QTest::mouseClick(dialog.findChild<QPushButton*>("1012"), Qt::LeftButton);
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_TRUE(asked[1].save);
  EXPECT_EQ(dialog.backupEdit()->text(), Q(bak));
  EXPECT_EQ(dialog.dataEdit()->text(), Q(mdf));
  EXPECT_TRUE(dialog.progressBar()->isHidden());

  QSignalSpy ended(&dialog, &CBAKTOMDFDLG::conversionEnded);
  QTest::mouseClick(dialog.runButton(), Qt::LeftButton);
  EXPECT_FALSE(dialog.progressBar()->isHidden());
  ASSERT_TRUE(ended.wait(5000));
  EXPECT_TRUE(dialog.progressBar()->isHidden());
  ASSERT_TRUE(dialog.lastResult().completed);
  EXPECT_EQ(messages.stops, std::vector<std::string>{"转换完成：共写入 52 页，其中 1 页不完整。"});
  EXPECT_EQ(testing::FileSnapshot::Of(mdf).bytes, db.Image())
      << "the cut copy of page 3 rewrites only the sectors it holds";

  // A backup that cannot be opened: its message, no completion, no data file.
  messages.stops.clear();
  dialog.backupEdit()->setText(Q(dir.File("none.bak")));
  dialog.dataEdit()->setText(Q(dir.File("out.mdf")));
  dialog.Run();
  ASSERT_TRUE(ended.wait(5000));
  EXPECT_EQ(messages.stops, std::vector<std::string>{"bak 文件打开失败！"});
  EXPECT_TRUE(dialog.progressBar()->isHidden());
  EXPECT_FALSE(fs::exists(dir.File("out.mdf")));
}

TEST(BakToMdfDialogTest, RefusesToCloseAndToRunTwiceWhileItsWorkerRuns) {
  testing::TempDir dir;
  std::string bak = SparseFile(dir, "huge.bak", uint64_t{16} << 30);
  RecordingMessages messages;
  auto dialog = std::make_unique<CBAKTOMDFDLG>(&messages);
  dialog->show();
  dialog->backupEdit()->setText(Q(bak));
  dialog->dataEdit()->setText(Q(dir.File("out.mdf")));
  QSignalSpy ended(dialog.get(), &CBAKTOMDFDLG::conversionEnded);
  dialog->Run();
  ASSERT_TRUE(dialog->IsRunning());
  EXPECT_FALSE(dialog->runButton()->isEnabled());
  dialog->Run();
  dialog->reject();
  dialog->close();
  EXPECT_TRUE(dialog->isVisible()) << "the dialog stays while the conversion runs";
  EXPECT_TRUE(dialog->IsRunning());
  dialog.reset();  // going away stops the worker and waits for it
  EXPECT_TRUE(messages.stops.empty());
  EXPECT_FALSE(fs::exists(dir.File("out.mdf"))) << "a stopped conversion leaves no data file";
}

// --- Fragment excavation --------------------------------------------------

// A FAT32 boot sector: `per_cluster` sectors a cluster, `total` sectors,
// 32 reserved sectors, two FATs of one sector each, root at cluster 2.
Bytes Fat32BootSector(uint8_t per_cluster, uint32_t total) {
  Bytes s(kSector, 0);
  fixtures::PutU16(s, 11, 512);
  s[13] = per_cluster;
  fixtures::PutU16(s, 14, 32);
  s[16] = 2;
  fixtures::PutU32(s, 32, total);
  fixtures::PutU32(s, 36, 1);
  fixtures::PutU32(s, 44, 2);
  fixtures::PutU16(s, 50, 6);
  std::memcpy(s.data() + 82, "FAT32   ", 8);
  s[510] = 0x55;
  s[511] = 0xAA;
  return s;
}

TEST(MenuEditTest, PromptComesBackWhenTheFieldIsLeftEmpty) {
  FakeMachine m;
  auto devices = m.Devices();
  CMenuEdit edit(QString::fromUtf8("……右键选择数据源……"), true, CMenuEdit::kGrayText, devices);
  EXPECT_TRUE(edit.IsPromptShown());
  EXPECT_EQ(edit.SourcePath(), "");
  QFocusEvent in(QEvent::FocusIn), out(QEvent::FocusOut);
  QApplication::sendEvent(&edit, &in);
  EXPECT_EQ(edit.text(), "");
  edit.setText("   ");
  QApplication::sendEvent(&edit, &out);
  EXPECT_TRUE(edit.IsPromptShown()) << "blank text gives the prompt back";
  EXPECT_EQ(edit.palette().color(QPalette::Text), edit.PromptColour());
  QApplication::sendEvent(&edit, &in);
  edit.setText(" /dev/sdz ");
  QApplication::sendEvent(&edit, &out);
  QString trimmed;
  EXPECT_EQ(edit.GetTrimmedText(trimmed), 8);
  EXPECT_EQ(edit.SourcePath(), "/dev/sdz");
  // The prompt compares without case; with the prompt disabled an empty
  // field stays empty.
  edit.SetPromptText("Right-click");
  edit.setText("RIGHT-CLICK");
  EXPECT_TRUE(edit.IsPromptShown());
  edit.SetPromptEnabled(false);
  edit.setText("");
  QApplication::sendEvent(&edit, &out);
  EXPECT_EQ(edit.text(), "");
}

// A disk that cannot be opened is named, greyed, with its size; its volumes
// and a disk without a device node have no item.
TEST(MenuEditTest, MenuGreysUnreadableDisksAndOmitsTheirVolumes) {
  FakeMachine m;
  m.Disk("sda", 4096 * kSector);
  m.Partition("sda", "sda1", 2048);
  m.Disk("sdb", 0, false, false);
  FakeMachine::Put(m.sys / "sdb" / "size", "4194304");
  fs::create_directories(m.dev / "sdb");  // a node that does not open as a disk
  m.Partition("sdb", "sdb1", 63);
  m.Disk("sdc", 0, false, false);
  FakeMachine::Put(m.sys / "sdc" / "size", "100");
  auto devices = m.Devices();
  CMenuEdit edit("prompt", true, CMenuEdit::kGrayText, devices);
  QStringList texts;
  QList<int> ids;
  for (QAction* a : edit.menu()->actions()) {
    if (a->isSeparator()) continue;
    texts << a->text();
    ids << (a->isEnabled() ? a->data().toInt() : -1);
  }
  ASSERT_EQ(texts.size(), 4);
  EXPECT_EQ(texts[1].toStdString(), (m.dev / "sdb").string() + ": (2.0 GB，无法打开)");
  EXPECT_EQ(ids, (QList<int>{2001, -1, 2005, 2000})) << "2001 + n is never used, n counting every disk";
}

// A disk with a FAT32 volume at sector 2048, 8-sector clusters: two
// one-sector FATs after 32 reserved sectors put cluster n at volume sector
// 18 + 8n. The database lies from cluster 4 (sector 50) on; the cluster of
// page 10's first sectors is in use, every other cluster free.
TEST(ExcavatorDialogTest, SourceChoicesRecognizeTheVolumeAndFreeClustersOnlyApplyWhenChecked) {
  constexpr uint32_t kClusters = 128;
  Bytes volume((18 + 8 * kClusters) * kSector, 0);
  Bytes boot = Fat32BootSector(8, static_cast<uint32_t>(volume.size() / kSector));
  std::copy(boot.begin(), boot.end(), volume.begin());
  Bytes db = CarvedDatabase();
  std::copy(db.begin(), db.end(), volume.begin() + 50 * kSector);
  for (uint32_t n : {0u, 1u, 2u, (50u + 10u * 16u - 18u) / 8u})
    fixtures::PutU32(volume, 32 * kSector + 4 * n, 0x0FFFFFFF);
  Bytes disk(2048 * kSector + volume.size(), 0);
  std::copy(volume.begin(), volume.end(), disk.begin() + 2048 * kSector);
  FakeMachine m;
  m.Disk("sda", 0);
  fixtures::WriteFile((m.dev / "sda").string(), disk);
  m.Partition("sda", "sda1", 2048);
  auto devices = m.Devices();
  RecordingMessages messages;
  CMdfExcavatorDlg dialog(&messages, &devices);
  // The whole disk: no file system at sector 0.
  dialog.sourceEdit()->OnSourceCommand(2001);
  EXPECT_EQ(dialog.sourceEdit()->text().toStdString(), (m.dev / "sda").string());
  EXPECT_EQ(dialog.field(CMdfExcavatorDlg::kIdSize)->text(), QString::number(disk.size() / kSector));
  EXPECT_FALSE(dialog.freeOnlyBox()->isEnabled());
  // The volume: its start sector (with the blank), and the FAT32 found there.
  dialog.sourceEdit()->OnSourceCommand(2003);
  EXPECT_EQ(dialog.field(CMdfExcavatorDlg::kIdStartSector)->text(), "2048 ");
  EXPECT_EQ(dialog.fileSystemLabel()->text(), "←FAT32" + QString(84, ' '));
  ASSERT_TRUE(dialog.freeOnlyBox()->isEnabled());
  EXPECT_EQ(dialog.field(CMdfExcavatorDlg::kIdCluster)->text(), "8");
  EXPECT_EQ(dialog.field(CMdfExcavatorDlg::kIdSize)->text(), QString::number(volume.size() / kSector));

  dialog.Run();
  ASSERT_EQ(dialog.fragments().size(), 1u) << "page 10 missing does not break the run";
  EXPECT_EQ(dialog.fragments()[0].PagesFound(), 47u);
  EXPECT_GT(dialog.lastSearch().unitsSkipped, 0u);
  EXPECT_EQ(dialog.list()->item(0, 3)->text(), "0-47");
  // Unchecked: the plain search, in units of the cluster field from the start sector.
  dialog.freeOnlyBox()->setChecked(false);
  dialog.field(CMdfExcavatorDlg::kIdCluster)->setText("2");
  dialog.Run();
  ASSERT_EQ(dialog.fragments().size(), 1u);
  EXPECT_EQ(dialog.fragments()[0].PagesFound(), 48u);
  EXPECT_EQ(dialog.lastSearch().unitsSkipped, 0u);
  EXPECT_TRUE(messages.stops.empty());

  // Leaving the start sector field recognises again: nothing at sector 0.
  dialog.field(CMdfExcavatorDlg::kIdStartSector)->setText("0");
  QFocusEvent out(QEvent::FocusOut);
  QApplication::sendEvent(dialog.field(CMdfExcavatorDlg::kIdStartSector), &out);
  EXPECT_FALSE(dialog.freeOnlyBox()->isEnabled());
  EXPECT_EQ(dialog.fileSystemLabel()->text(), QString::fromUtf8("←文件系统起始扇区或者有效簇起始扇区"));
}

// The excavator dialog with `image` chosen as its source; later file
// choices are answered with `answer`.
struct ExcavatorOn {
  explicit ExcavatorOn(const std::string& image) : answer(image) {
    dialog.SetFileChooser([this](const FileDialogRequest& r) {
      asked.push_back(r);
      return Q(answer);
    });
    dialog.sourceEdit()->OnSourceCommand(2000);
  }
  FakeMachine machine;
  platform::PosixBlockDevices devices = machine.Devices();
  RecordingMessages messages;
  CMdfExcavatorDlg dialog{&messages, &devices};
  std::string answer;
  std::vector<FileDialogRequest> asked;
};

// The database in two pieces, far apart and in the wrong order, on an
// image named without an extension: listed, extracted, checked, saved.
TEST(ExcavatorDialogTest, ListsTheFragmentsAndExtractsChecksAndSavesThem) {
  testing::TempDir dir;
  const Bytes db = CarvedDatabase();
  Bytes src(160 * kSector, 0);
  src.insert(src.end(), db.begin() + 24 * kPage, db.end());
  src.resize(src.size() + 48 * kSector, 0x33);
  src.insert(src.end(), db.begin(), db.begin() + 24 * kPage);
  src.resize(src.size() + 16 * kSector, 0);
  const std::string image = dir.Write("disk", src);
  ExcavatorOn on(image);
  CMdfExcavatorDlg& dialog = on.dialog;
  QTableWidget* list = dialog.list();
  auto cell = [list](int row, int column) { return list->item(row, column)->text(); };
  auto check = [list](int row) { return list->item(row, 0)->checkState(); };
  ASSERT_EQ(on.asked.size(), 1u);
  EXPECT_EQ(dialog.sourceEdit()->text(), Q(image + ".kvt"));
  EXPECT_EQ(dialog.field(CMdfExcavatorDlg::kIdSize)->text(), QString::number(src.size() / kSector));
  dialog.field(CMdfExcavatorDlg::kIdCluster)->setText("16");
  QTest::mouseClick(dialog.findChild<QPushButton*>("1083"), Qt::LeftButton);
  EXPECT_TRUE(on.messages.stops.empty()) << on.messages.stops.front();
  ASSERT_EQ(list->columnCount(), 5);
  ASSERT_EQ(list->rowCount(), 2) << "the image is read as chosen, not with the shown .kvt";
  // The texts are the fragment list's own (its tests); here each reaches its column.
  const uint64_t second = 160 + 24 * 16 + 48;
  EXPECT_EQ(cell(1, 0), "1");
  EXPECT_EQ(cell(1, 1), QString("%1-%2").arg(second).arg(second + 23 * 16));
  EXPECT_EQ(cell(0, 2), "192.0 KB");
  EXPECT_EQ(cell(0, 3), "24-47");
  EXPECT_TRUE(cell(1, 4).startsWith(QString::fromUtf8("[MSSQL2000][大小:384.0KB]"))) << cell(1, 4).toStdString();
  EXPECT_EQ(check(0), Qt::Unchecked);
  dialog.Run();
  ASSERT_EQ(list->rowCount(), 2) << "a new run empties the list first";

  list->setCurrentCell(0, 0);
  on.answer = dir.File("current.mdf");
  dialog.OnRowCommand(CMdfExcavatorDlg::kCmdExtractCurrent);
  ASSERT_TRUE(dialog.lastExtraction().completed) << dialog.lastExtraction().error;
  EXPECT_EQ(fs::file_size(on.answer), 48 * kPage) << "pages 24-47 at their own numbers";
  EXPECT_EQ(on.messages.stops, std::vector<std::string>{"提取完成：写入 24 页，跳过 0 页。"});
  // Nothing checked: nothing is asked or written.
  const size_t asked = on.asked.size();
  dialog.OnRowCommand(CMdfExcavatorDlg::kCmdExtractChecked);
  EXPECT_EQ(on.asked.size(), asked);
  dialog.OnRowCommand(CMdfExcavatorDlg::kCmdCheckAll);
  on.answer = dir.File("merged.mdf");
  dialog.OnRowCommand(CMdfExcavatorDlg::kCmdExtractChecked);
  ASSERT_TRUE(dialog.lastExtraction().completed);
  EXPECT_EQ(testing::FileSnapshot::Of(on.answer).bytes, db);

  // The check commands and the CSV of the list.
  EXPECT_EQ(check(1), Qt::Checked);
  list->item(0, 0)->setCheckState(Qt::Unchecked);
  list->item(1, 0)->setCheckState(Qt::Unchecked);
  list->selectRow(1);
  dialog.OnRowCommand(CMdfExcavatorDlg::kCmdCheckSelected);
  EXPECT_EQ(check(0), Qt::Unchecked) << "a box the user cleared stays clear";
  EXPECT_EQ(check(1), Qt::Checked);
  on.answer = dir.File("list.csv");
  dialog.OnRowCommand(CMdfExcavatorDlg::kCmdSaveList);
  EXPECT_TRUE(dialog.fragments()[1].checked);
  EXPECT_EQ(testing::ReadText(on.answer), tools::FragmentListCsv(dialog.fragments()));
  list->setCurrentCell(1, 0);
  dialog.OnRowCommand(CMdfExcavatorDlg::kCmdCopyStartSector);
  EXPECT_EQ(QApplication::clipboard()->text(), QString::number(second));
}

TEST(ExcavatorDialogTest, StopEndsTheSearchAZeroClusterAndAnUnreadableSourceAreRefused) {
  testing::TempDir dir;
  ExcavatorOn on(SparseFile(dir, "huge.img", uint64_t{16} << 30));
  CMdfExcavatorDlg& dialog = on.dialog;
  dialog.field(CMdfExcavatorDlg::kIdCluster)->setText("0");
  dialog.Run();
  EXPECT_EQ(on.messages.notices, std::vector<EngineNotice>{EngineNotice::kClusterSizeZero});
  EXPECT_FALSE(dialog.lastSearch().ran);

  dialog.field(CMdfExcavatorDlg::kIdCluster)->setText("16");
  bool enter_ignored = false;
  dialog.SetProgressHook([&](CProgressDLG2& p) {
    QTest::keyClick(&p, Qt::Key_Escape);
    QTest::keyClick(&p, Qt::Key_Return);
    enter_ignored = p.isVisible();
    QTest::mouseClick(p.stopButton(), Qt::LeftButton);
  });
  dialog.Run();
  EXPECT_TRUE(enter_ignored) << "Enter and Escape do not close the progress dialog";
  EXPECT_TRUE(dialog.lastSearch().ran);
  EXPECT_TRUE(dialog.lastSearch().stopped);
  EXPECT_EQ(dialog.list()->rowCount(), 0);

  // A source that cannot be read shows the open error.
  dialog.SetProgressHook({});
  dialog.sourceEdit()->setText(Q(dir.File("gone.img")));
  dialog.field(CMdfExcavatorDlg::kIdSize)->setText("100");
  dialog.Run();
  EXPECT_EQ(on.messages.stops, std::vector<std::string>{"打开文件出错"});
  EXPECT_EQ(dialog.list()->rowCount(), 0);
}

TEST(ToolHelpersTest, SectorFieldTakesTheLeadingDigitsAndSaturates) {
  EXPECT_EQ(SectorFieldValue("2048 "), 2048u);
  EXPECT_EQ(SectorFieldValue("  12x"), 12u);
  EXPECT_EQ(SectorFieldValue(""), 0u);
  EXPECT_EQ(SectorFieldValue("99999999999999999999999"), UINT64_MAX);
}

// --- Main frame commands ----------------------------------------------------

TEST(ToolCommandsTest, TheMainFrameOpensEachToolDialog) {
  RecordingMessages messages;
  CMainFrame frame({}, {}, &messages);
  frame.SetExitAnswerForTests([] { return true; });
  using IsTool = bool (*)(QWidget*);
  const std::pair<int, IsTool> tools[] = {
      {kCmdDetection, [](QWidget* w) { return dynamic_cast<CDetectionPage*>(w) != nullptr; }},
      {kCmdBakToMdf, [](QWidget* w) { return dynamic_cast<CBAKTOMDFDLG*>(w) != nullptr; }},
      {kCmdExcavation, [](QWidget* w) { return dynamic_cast<CMdfExcavatorDlg*>(w) != nullptr; }}};
  for (const auto& [id, is_tool] : tools) {
    bool opened = false;
    QTimer::singleShot(0, [&, is_tool = is_tool] {
      QWidget* modal = QApplication::activeModalWidget();
      if (!modal) return;
      opened = is_tool(modal);
      static_cast<QDialog*>(modal)->reject();
    });
    frame.Action(id)->trigger();
    EXPECT_TRUE(opened) << id;
  }
}

}  // namespace
}  // namespace tollamer::app
