// The desktop program driven as a user would, on the offscreen platform:
// over a fake engine the tree, grid, open failures and window; over the
// real catalog builders and fixture files the schema and data exports, the
// find dialog, the all-tables scan, and the engine commands held off while
// a worker runs.
#include <gtest/gtest.h>

#include <filesystem>

#include <QAction>
#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTreeWidget>

#include "app/app_services.h"
#include "app/command_ids.h"
#include "app/data_transfer_dialog.h"
#include "app/find_table_dialog.h"
#include "app/log_bar.h"
#include "app/main_frame.h"
#include "app/object_tree_view.h"
#include "app/output_data_dialog.h"
#include "app/paging_bar.h"
#include "app/paging_rule.h"
#include "app/record_grid_view.h"
#include "app/save_folder_dialog.h"
#include "app/sql_version_dialog.h"
#include "app/tree_texts.h"
#include "platform/file.h"
#include "tests/fixtures/deleting.h"
#include "tests/fixtures/sample_database.h"
#include "tests/fixtures/sql2000_database.h"
#include "tests/fixtures/sql2005_database.h"
#include "tests/fixtures/user_rows_database.h"
#include "tests/test_support.h"

namespace tollamer::app {
namespace {

// A builder that fills a small catalog instead of reading system tables.
void FakeBuilder(CMdfDatabase& db, VersionSetting) {
  db.catalog.tables[5] = {.id = 5, .fullName = "dbo.Orders", .rowCount = 15,
                          .columns = {{1, {"Name", "varchar", "(50)", " NULL"}}}};
  db.catalog.tables[6] = {.id = 6, .fullName = "dbo.Lost", .rowCount = 4, .columns = {{1, {"x"}}}};
  db.catalog.views.push_back({7, "dbo.v", "create view v as select 1"});
  db.catalog.userTypes.push_back({"id", "varchar(11)", "NOT NULL"});
}

TableGridPage FakeReader(CMdfDatabase&, VersionSetting, uint32_t table, int32_t page) {
  if (table == 6) return {{"x"}, {}, 0};  // its pages are lost
  return {{"Name"}, {{"row of page " + std::to_string(page)}}, 2};
}

// The frame over the fake engine above; CommandsTest's over the real
// catalog builder and table reader.
class MainFrameTest : public ::testing::Test {
 protected:
  explicit MainFrameTest(bool fake_engine = true)
      : frame_(fake_engine ? std::make_unique<CMainFrame>(FakeBuilder, FakeReader, &messages_)
                           : std::make_unique<CMainFrame>(DefaultCatalogBuilder(), DefaultTableReader(),
                                                          &messages_)) {
    frame_->SetVersionAnswerForTests([this](VersionSetting& s, const VersionGuess& g) {
      detected_ = g;
      if (answer_ != VersionSetting::kNone) s = answer_;
    });
    frame_->SetExitAnswerForTests([] { return true; });
    frame_->SetViewerForTests([this](const QString& path) { viewed_.push_back(path.toStdString()); });
    frame_->SetFolderAnswerForTests([this]() -> std::optional<QString> {
      return QString::fromStdString(dir_.path().string());
    });
    path_ = dir_.Write("s.mdf", fixtures::BuildSampleDatabase({}).Image());
  }

  bool OpenAndWait(const std::string& path, const std::string& more = {}) {
    QSignalSpy done(frame_.get(), &CMainFrame::openCompleted);
    QStringList paths{QString::fromStdString(path)};
    if (!more.empty()) paths << QString::fromStdString(more);
    frame_->OpenFiles(paths);
    EXPECT_TRUE(done.wait(5000));
    return !done.isEmpty() && done.front().front().toBool();
  }

  void Open(const fixtures::Bytes& image, VersionSetting version) {
    answer_ = version;
    QSignalSpy done(frame_.get(), &CMainFrame::openCompleted);
    frame_->OpenFile(QString::fromStdString(dir_.Write("db.mdf", image)));
    EXPECT_FALSE(frame_->Action(kCmdOpen)->isEnabled()) << "held off while the worker runs";
    EXPECT_FALSE(frame_->tree()->isEnabled());
    ASSERT_TRUE(done.wait(10000));
    EXPECT_TRUE(frame_->Action(kCmdOpen)->isEnabled());
  }

  QTreeWidgetItem* Item(Category c, const std::string& prefix) {
    QTreeWidgetItem* category = frame_->tree()->CategoryItem(c);
    for (int i = 0; category && i < category->childCount(); ++i)
      if (category->child(i)->text(0).toStdString().rfind(prefix, 0) == 0) return category->child(i);
    return nullptr;
  }

  bool Enabled(int id) { return frame_->Action(id)->isEnabled(); }

  testing::TempDir dir_;
  RecordingMessages messages_;
  std::unique_ptr<CMainFrame> frame_;
  std::string path_;
  VersionSetting answer_ = VersionSetting::kSql2005;
  VersionGuess detected_;
  std::vector<std::string> viewed_;
};

class CommandsTest : public MainFrameTest {
 protected:
  CommandsTest() : MainFrameTest(false) {}
};

TEST_F(MainFrameTest, OpenFillsTreeLogAndGridCommandsFollowOpenAndCloseAndExitCanBeCancelled) {
  for (int id : {kCmdExportAllTableStructures, kCmdExportSelectedTableStructure,
                 kCmdExportAllTableData, kCmdExportSelectedTableData, kCmdImportAllTables,
                 kCmdImportSelectedTable})
    EXPECT_FALSE(Enabled(id)) << id;
  ASSERT_TRUE(OpenAndWait(path_));
  EXPECT_EQ(detected_.setting, VersionSetting::kSql2005) << "the dialog gets the proposal";
  EXPECT_TRUE(Enabled(kCmdExportAllTableStructures));
  EXPECT_TRUE(Enabled(kCmdExportAllTableData));
  EXPECT_FALSE(Enabled(kCmdExportSelectedTableStructure));
  CFview* tree = frame_->tree();
  ASSERT_EQ(tree->topLevelItemCount(), 1);
  QTreeWidgetItem* root = tree->topLevelItem(0);
  EXPECT_EQ(root->text(0).toStdString(), path_);
  ASSERT_EQ(root->childCount(), 5);
  QTreeWidgetItem* table = tree->CategoryItem(Category::kTables)->child(0);
  EXPECT_EQ(table->text(0).toStdString(), "dbo.Orders(15 Records)");
  EXPECT_EQ(table->child(0)->text(0).toStdString(), "[Name][varchar](50) NULL");
  // The log's lines are the work log's own tests'; here the open writes them.
  QCoreApplication::processEvents();
  EXPECT_NE(frame_->workLog().Text().find("dbo.Orders : (15 Records)\r\n"), std::string::npos);

  tree->setCurrentItem(table);
  EXPECT_EQ(frame_->statusPane101()->text().toStdString(), "dbo.Orders(15 Records)");
  EXPECT_TRUE(Enabled(kCmdExportSelectedTableStructure));
  QTableWidget* grid = frame_->gridView()->grid();
  EXPECT_FALSE(frame_->gridView()->IsEmptyShown());
  ASSERT_EQ(grid->rowCount(), 1);
  EXPECT_EQ(grid->item(0, 0)->text().toStdString(), "row of page 1");
  EXPECT_TRUE(frame_->gridView()->EmptyReason().isEmpty());
  // At the window's first size the paging bar shows whole, its last label too.
  frame_->show();
  QLabel* last = frame_->gridView()->pagingBar()->findChildren<QLabel*>().back();
  EXPECT_EQ(last->text().toStdString(), "条");
  EXPECT_LE(last->mapTo(frame_.get(), QPoint(last->width(), 0)).x(), frame_->width());
  // A table the catalog counts rows for and whose rows cannot be read says why.
  tree->setCurrentItem(tree->CategoryItem(Category::kTables)->child(1));
  EXPECT_EQ(grid->rowCount(), 0);
  EXPECT_EQ(frame_->gridView()->EmptyReason().toStdString(),
            "系统表记录此表有 4 行，但未找到它的数据页（页已丢失或损坏）。可在对象树的右键菜单中试“扫描文件,提取所有表数据”。");
  tree->setCurrentItem(tree->CategoryItem(Category::kViews)->child(0));
  ASSERT_EQ(grid->columnCount(), 2);
  grid->setCurrentCell(0, 1);
  frame_->gridView()->CopyCell();
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), "create view v as select 1");
  tree->setCurrentItem(root);  // not an object: the grid keeps what it shows
  EXPECT_EQ(grid->columnCount(), 2);
  EXPECT_FALSE(Enabled(kCmdExportSelectedTableStructure));

  frame_->Action(kCmdClose)->trigger();
  EXPECT_FALSE(Enabled(kCmdExportAllTableStructures));
  EXPECT_EQ(frame_->versionSetting(), VersionSetting::kNone);
  EXPECT_EQ(frame_->tree()->topLevelItemCount(), 0);
  EXPECT_TRUE(frame_->gridView()->IsEmptyShown()) << "no selection: the empty pane";
  // No version chosen: an empty catalog, and the commands still follow the open.
  answer_ = VersionSetting::kNone;
  ASSERT_TRUE(OpenAndWait(path_));
  EXPECT_NE(frame_->workLog().Text().find("Total table(s) present  :0\r\n"), std::string::npos);
  EXPECT_EQ(frame_->tree()->topLevelItem(0)->childCount(), 5);
  EXPECT_TRUE(Enabled(kCmdExportAllTableStructures));
  // Cancel at the exit question keeps the window.
  frame_->show();
  frame_->SetExitAnswerForTests([] { return false; });
  frame_->close();
  EXPECT_TRUE(frame_->isVisible());
  frame_->SetExitAnswerForTests([] { return true; });
  frame_->close();
  EXPECT_FALSE(frame_->isVisible());
}

// Each way an open fails has its own message; "in use" only for a file
// another program holds. The file open before is torn down: its tree and
// rows do not stay on show.
TEST_F(MainFrameTest, OpenFailuresSayWhatHappenedAndWriteNoTableLines) {
  const std::string good = dir_.Write("good.mdf", fixtures::BuildSampleDatabase({}).Image());
  platform::OpenResult holder = platform::OpenReadOnlyExclusive(path_);
  ASSERT_NE(holder.file, nullptr);
  std::filesystem::create_directory(dir_.File("folder"));
  const std::pair<std::string, std::string> cases[] = {
      {path_, "文件被其他软件占用！"},
      {dir_.File("missing.mdf"), "文件不存在！"},
      {dir_.File("folder"), "不是文件！"},
      {dir_.Write("text.mdf", fixtures::Bytes(9000, 'x')), "不是 SQL Server 数据文件或备份文件！"},
  };
  for (const auto& [path, message] : cases) {
    ASSERT_TRUE(OpenAndWait(good));
    frame_->tree()->setCurrentItem(frame_->tree()->CategoryItem(Category::kTables)->child(0));
    ASSERT_EQ(frame_->gridView()->grid()->rowCount(), 1);
    frame_->workLog().Clear();
    messages_.stops.clear();
    EXPECT_FALSE(OpenAndWait(path)) << path;
    EXPECT_EQ(messages_.stops, std::vector<std::string>{message}) << path;
    EXPECT_EQ(frame_->workLog().Text().find("Total table(s)"), std::string::npos);
    EXPECT_EQ(frame_->tree()->topLevelItemCount(), 0);
    EXPECT_TRUE(frame_->gridView()->IsEmptyShown());
    EXPECT_EQ(frame_->gridView()->grid()->rowCount(), 0);
    EXPECT_FALSE(Enabled(kCmdExportSelectedTableStructure));
  }
}

// The stripes of a backup open together (the second added to the open
// one); files of two databases are
// refused; of a file holding two backup sets the one the user picks is read.
TEST_F(MainFrameTest, SeveralFilesOpenTogetherAndTheBackupSetIsAskedFor) {
  const fixtures::FileBuilder db = fixtures::BuildSampleDatabase({});
  const std::string one = dir_.Write("s1.bak", db.BackupImage(0x1A00, 2, 1));
  const std::string two = dir_.Write("s2.bak", db.BackupImage(0x1A00, 2, 2));
  ASSERT_TRUE(OpenAndWait(two));
  frame_->SetAddFileAnswerForTests([&] { return QStringList{QString::fromStdString(one)}; });
  QSignalSpy added(frame_.get(), &CMainFrame::openCompleted);
  frame_->Action(kCmdAddFile)->trigger();  // 添加文件到当前数据库
  ASSERT_TRUE(added.wait(5000));
  EXPECT_TRUE(frame_->document().Engine().Store().MissingStripes().empty());
  messages_.stops.clear();
  EXPECT_FALSE(OpenAndWait(one, path_));
  EXPECT_EQ(messages_.stops, std::vector<std::string>{kFilesNotTogetherMessage});

  fixtures::Bytes image = db.BackupImage(0x1A00);
  const fixtures::Bytes appended = db.AppendedBackupSet(2);
  image.insert(image.end(), appended.begin(), appended.end());
  std::vector<size_t> asked;
  frame_->SetBackupSetAnswerForTests([&](const std::vector<BackupSetSummary>& sets) {
    asked.push_back(sets.size());
    return uint16_t{1};
  });
  ASSERT_TRUE(OpenAndWait(dir_.Write("two.bak", image)));
  EXPECT_EQ(asked, std::vector<size_t>{2});
  EXPECT_EQ(frame_->document().Engine().Store().BackupSetRead(), 1);
}

// A grid of thousands of pages: the bar at its narrowest still shows every
// digit of its numbers.
TEST(PagingBarTest, LongNumbersAreNotClipped) {
  CDlgBar bar;
  bar.SetFields("2044", "123456", "888");
  bar.show();
  bar.resize(bar.minimumSizeHint().width(), bar.height());
  bar.layout()->activate();
  for (int id : {CDlgBar::kIdCurrentPage, CDlgBar::kIdPageCount, CDlgBar::kIdRowCount}) {
    auto* field = bar.findChild<QLabel*>(QString::number(id));
    ASSERT_TRUE(field);
    EXPECT_GE(field->contentsRect().width(), field->fontMetrics().horizontalAdvance(field->text()))
        << field->text().toStdString();
  }
}

// The record counts are the work log's (its open log test); the tree's
// own texts are seen through the main frame tests.
TEST(TreeTextsTest, ObjectNameIsCutBeforeAParenthesisAfterTheFirstPoint) {
  EXPECT_EQ(ObjectNameOfItem("dbo.Orders(15 Records)"), "dbo.Orders");
  EXPECT_EQ(ObjectNameOfItem("v(1)"), "v") << "no point: -1 is before any parenthesis";
  EXPECT_EQ(ObjectNameOfItem("a(b).c"), "a(b).c");
  EXPECT_EQ(ObjectNameOfItem("dbo.titleview"), "dbo.titleview");
  EXPECT_EQ(CategoryOfParent("视图"), Category::kViews);
  EXPECT_FALSE(CategoryOfParent("/data/pubs.mdf"));
}

TEST(PagingRuleTest, ButtonsFollowThePageAndCountAndNextPreviousJumpMoveIt) {
  // A table without grid pages (count 0) cannot page.
  const struct { int32_t page; uint32_t count; bool back, forward, jump; } rules[] = {
      {1, 1, false, false, false}, {1, 2, false, true, true}, {2, 3, true, true, true},
      {3, 3, true, false, true},   {1, 0, false, false, false}};
  for (const auto& r : rules) {
    PagingButtons b = PagingButtonRule(r.page, r.count);
    EXPECT_EQ(b.previousAndFirst, r.back) << r.page << " of " << r.count;
    EXPECT_EQ(b.nextAndLast, r.forward) << r.page << " of " << r.count;
    EXPECT_TRUE(b.jump == r.jump && b.edit == r.jump) << r.page << " of " << r.count;
  }

  GridState g;
  g.Next(3);
  EXPECT_TRUE(g.currentPage == 2 && g.previousAllowed);
  g.Next(3);
  EXPECT_FALSE(g.nextAllowed);
  g.Previous(3);
  g.Previous(3);
  EXPECT_TRUE(g.currentPage == 1 && !g.previousAllowed && g.nextAllowed);
  EXPECT_TRUE(g.Jump("3x", 3));
  for (const char* bad : {"0", "", "4", "99999999999999999999"}) EXPECT_FALSE(g.Jump(bad, 3)) << bad;
  EXPECT_EQ(g.currentPage, 3);
}

// Without a proposal nothing is checked and the previous setting stays;
// a proposal is shown and pre-checked, and the user's choice decides.
TEST(SqlVersionDialogTest, NothingCheckedKeepsTheSettingAProposalIsPreChecked) {
  VersionSetting setting = VersionSetting::kSql2000;
  CSQLVersion plain(setting, VersionGuess{});
  EXPECT_FALSE(plain.sql2000Button()->isChecked());
  EXPECT_FALSE(plain.sql2005Button()->isChecked());
  EXPECT_FALSE(plain.detectionLabel()->isVisibleTo(&plain));
  plain.accept();
  EXPECT_EQ(setting, VersionSetting::kSql2000);
  plain.sql2005Button()->setChecked(true);
  plain.reject();  // Escape
  EXPECT_EQ(setting, VersionSetting::kSql2000);

  setting = VersionSetting::kNone;
  CSQLVersion proposed(setting, VersionFromDbiVersion(655));
  EXPECT_EQ(proposed.detectionLabel()->text().toStdString(), "检测到: SQL Server 2008 (655)");
  EXPECT_EQ(proposed.sql2000Button()->text().toStdString(), "SQL Server 7.0 / 2000");
  EXPECT_EQ(proposed.sql2005Button()->text().toStdString(), "SQL Server 2005 – 2025");
  EXPECT_TRUE(proposed.sql2005Button()->isChecked());
  proposed.sql2000Button()->setChecked(true);
  proposed.accept();
  EXPECT_EQ(setting, VersionSetting::kSql2000);
}

TEST_F(CommandsTest, Sql2000FixtureShowsTablesInTheGridAndFindWalksThem) {
  Open(fixtures::sql2000::BuildDatabase2000(fixtures::sql2000::SampleDatabase2000()).Image(), VersionSetting::kSql2000);
  QTreeWidgetItem* authors = Item(Category::kTables, "dbo.authors(");
  ASSERT_NE(authors, nullptr);
  EXPECT_EQ(authors->text(0).toStdString(), "dbo.authors(23 Records)");
  frame_->tree()->setCurrentItem(authors);
  QTableWidget* grid = frame_->gridView()->grid();
  ASSERT_EQ(grid->columnCount(), 9);
  EXPECT_EQ(grid->horizontalHeaderItem(8)->text().toStdString(), "contract");

  // Find next walks the following siblings without wrapping.
  QTreeWidgetItem* tables = frame_->tree()->CategoryItem(Category::kTables);
  ASSERT_GE(tables->childCount(), 3);
  frame_->tree()->setCurrentItem(tables->child(0));
  emit frame_->tree()->commandRequested(kCmdFindTable);
  CFindTableDlg* find = frame_->findDialog();
  ASSERT_NE(find, nullptr);
  find->textEdit()->setText("Records");
  find->FindNext();
  EXPECT_EQ(frame_->tree()->currentItem(), tables->child(1));
  frame_->tree()->setCurrentItem(tables->child(tables->childCount() - 1));
  find->SetStartItem(frame_->tree()->currentItem());
  find->FindNext();
  EXPECT_EQ(frame_->tree()->currentItem(), tables->child(tables->childCount() - 1));
}

TEST_F(CommandsTest, SchemaDataExportsAndTheAllTablesScanWriteAndReport) {
  Open(fixtures::sql2005::BuildDatabase2005(fixtures::sql2005::SampleDatabase2005()).file.Image(), VersionSetting::kSql2005);
  frame_->Action(kCmdExportAllTableStructures)->trigger();
  ASSERT_EQ(viewed_.size(), 1u);
  EXPECT_EQ(QFileInfo(QString::fromStdString(viewed_[0])).fileName().toStdString(), "AllTable.sql");

  // A view exported from its context menu; a view name unknown to the
  // catalog asks nothing and writes nothing.
  QTreeWidgetItem* view = Item(Category::kViews, "dbo.titleview");
  ASSERT_NE(view, nullptr);
  frame_->tree()->setCurrentItem(view);
  int asked = 0;
  frame_->SetFolderAnswerForTests([&]() -> std::optional<QString> {
    ++asked;
    return QString::fromStdString(dir_.path().string());
  });
  emit frame_->tree()->commandRequested(kCmdExportThisView);
  ASSERT_EQ(viewed_.size(), 2u);
  EXPECT_EQ(QFileInfo(QString::fromStdString(viewed_[1])).fileName().toStdString(),
            "dbo.titleview(View).sql");
  view->setText(0, "dbo.nosuchview");
  emit frame_->tree()->commandRequested(kCmdExportThisView);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(viewed_.size(), 2u);

  // Cancel in the folder dialog writes nothing.
  frame_->SetFolderAnswerForTests([]() -> std::optional<QString> { return std::nullopt; });
  frame_->Action(kCmdExportAllTableStructures)->trigger();
  EXPECT_EQ(viewed_.size(), 2u);

  // Data export and import write every table and report it.
  size_t tables = frame_->document().Engine().catalog.tables.size();
  ASSERT_GT(tables, 1u);
  frame_->SetDataTransferAnswerForTests([this](bool import) -> std::optional<DataTransferChoice> {
    return DataTransferChoice{.import = import, .folder = dir_.path().string(),
                              .target = "sqlite:" + dir_.File("out.sqlite")};
  });
  QSignalSpy done(frame_.get(), &CMainFrame::transferCompleted);
  frame_->Action(kCmdExportAllTableData)->trigger();
  EXPECT_TRUE(frame_->EngineBusy() || done.size() == 1) << "held off while the export runs";
  ASSERT_TRUE(done.wait(10000) || done.size() == 1);
  ASSERT_EQ(frame_->lastTransfer().size(), tables);
  for (const TableDataResult& r : frame_->lastTransfer()) {
    EXPECT_TRUE(r.ok) << r.tableName << ": " << r.error;
    EXPECT_TRUE(QFileInfo(QString::fromStdString(r.target)).exists()) << r.target;
  }
  // The sample's catalog counts rows its tables do not hold: every table
  // came up short, and the message and the work log say so.
  EXPECT_EQ(messages_.stops.back().rfind("未完成: " + std::to_string(tables) + " 个表, 0 行; " +
                                             std::to_string(tables) + " 个表行数少于系统表记录", 0),
            0u)
      << messages_.stops.back();
  EXPECT_NE(frame_->workLog().Text().find("未完成：" + std::to_string(tables) + " 个表行数不足"),
            std::string::npos) << frame_->workLog().Text();

  // The selected table alone, into SQLite.
  QTreeWidgetItem* table = frame_->tree()->CategoryItem(Category::kTables)->child(0);
  frame_->tree()->setCurrentItem(table);
  emit frame_->tree()->commandRequested(kCmdTreeImportSelectedTable);
  ASSERT_TRUE(done.wait(10000) || done.size() == 2);
  ASSERT_EQ(frame_->lastTransfer().size(), 1u);
  EXPECT_TRUE(frame_->lastTransfer()[0].ok) << frame_->lastTransfer()[0].error;
  EXPECT_TRUE(QFileInfo(QString::fromStdString(dir_.File("out.sqlite"))).exists());

  // The all-tables scan runs behind the wait dialog.
  QSignalSpy scanned(frame_.get(), &CMainFrame::scanCompleted);
  emit frame_->tree()->commandRequested(kCmdScanAllTables);
  ASSERT_NE(frame_->waitDialog(), nullptr);
  ASSERT_TRUE(scanned.wait(10000));
  EXPECT_EQ(messages_.stops.back(), "表数据提取完成");
  EXPECT_FALSE(frame_->waitDialog()->isVisible());
  EXPECT_TRUE(frame_->tree()->isEnabled());
  EXPECT_FALSE(frame_->EngineBusy());

  // A copy of a real file whose publishers page is noise, header and all:
  // the scan finds no page of that table, and says so instead of "complete".
  std::optional<std::string> real = testing::RealDataFile("pubs-sql2008.mdf");
  if (!real) return;
  fixtures::Bytes copy = testing::FileSnapshot::Of(*real).bytes;
  const size_t publishers = std::string(copy.begin(), copy.end()).find("New Moon Books") / 8192;
  std::fill(copy.begin() + publishers * 8192, copy.begin() + (publishers + 1) * 8192, uint8_t{0x5A});
  Open(copy, VersionSetting::kSql2005);
  emit frame_->tree()->commandRequested(kCmdScanAllTables);
  ASSERT_TRUE(scanned.wait(10000) || scanned.size() == 2);
  EXPECT_EQ(messages_.stops.back(), "表数据提取未完成：1 个有记录的表未找到数据页");
  EXPECT_NE(frame_->workLog().Text().find("dbo.publishers: 未找到数据页（页已丢失或损坏），系统表记录 8 行"),
            std::string::npos);
}

// A table with a deleted (ghosted) row gets an item for its deleted rows
// after its columns; selecting it shows the row and where it was found.
TEST_F(CommandsTest, DeletedRowsItemShowsTheRowsAndTheirPlace) {
  using namespace fixtures::user_rows;
  fixtures::sql2005::Table2005 t{900, "kept", 1,
                                 {{"n", 56, 0, 4, 10, 0, true}, {"s", 167, 0, 20, 0, 0, false}}, 2, 1, true};
  fixtures::sql2005::Built2005 built = fixtures::sql2005::BuildDatabase2005({.tables = {t}});
  std::vector<fixtures::Bytes> rows;
  for (int32_t n : {1, 2, 3})
    rows.push_back(UserRecord(Columns(t.columns), {Fixed(Int32(n)), Var(Text("v" + std::to_string(n)))}));
  FillTablePages2005(built, 900, {rows}, fixtures::FormatVersion::kSql2008);
  const uint32_t page = built.layout.tables.at(900).DataPages().at(0);
  fixtures::deleting::EditPage(built.file, page, fixtures::FormatVersion::kSql2008,
                               [](fixtures::Bytes& p) { fixtures::deleting::MarkGhost(p, 1); });
  Open(built.file.Image(), VersionSetting::kSql2005);
  QTreeWidgetItem* table = frame_->tree()->CategoryItem(Category::kTables)->child(0);
  ASSERT_EQ(table->childCount(), 3);  // two columns, then the deleted rows
  QTreeWidgetItem* deleted = table->child(2);
  EXPECT_EQ(deleted->text(0).toStdString(), "已删除的行(1)");
  frame_->tree()->setCurrentItem(deleted);
  QTableWidget* grid = frame_->gridView()->grid();
  ASSERT_EQ(grid->rowCount(), 1);
  ASSERT_EQ(grid->columnCount(), 5);
  EXPECT_EQ(grid->item(0, 0)->text().toStdString(), "2");
  EXPECT_EQ(grid->item(0, 1)->text().toStdString(), "v2");
  EXPECT_EQ(grid->item(0, 3)->text().toStdString(), std::to_string(page));
  EXPECT_EQ(grid->item(0, 2)->text().toStdString(), "ghost");
}

TEST(SaveFolderDialogTest, OnlyAnExistingFolderIsAccepted) {
  testing::TempDir dir;
  CMySaveFileDlg dialog;
  std::vector<std::string> shown;
  dialog.SetMessageSinkForTests([&](const QString& text) { shown.push_back(text.toStdString()); });
  dialog.pathEdit()->setText(QString::fromStdString(dir.File("missing")));
  dialog.accept();
  EXPECT_EQ(shown, std::vector<std::string>{"路径不存在！"});
  EXPECT_NE(dialog.result(), QDialog::Accepted);
  dialog.SetBrowseAnswerForTests([&] { return QString::fromStdString(dir.path().string() + "/"); });
  QMetaObject::invokeMethod(dialog.findChild<QObject*>("1052"), "click");
  EXPECT_EQ(dialog.pathEdit()->text().toStdString(), dir.path().string());
  dialog.accept();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.path().toStdString(), dir.path().string());
}

}  // namespace
}  // namespace tollamer::app
