// The desktop program driven as a user would, on the offscreen platform.
#include <gtest/gtest.h>

#include <filesystem>

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTreeWidget>

#include "app/app_services.h"
#include "app/log_bar.h"
#include "app/main_frame.h"
#include "app/object_tree_view.h"
#include "app/paging_bar.h"
#include "app/record_grid_view.h"
#include "app/sql_version_dialog.h"
#include "app/command_ids.h"
#include "platform/file.h"
#include "tests/fixtures/sample_database.h"
#include "tests/test_support.h"

namespace tollamer::app {
namespace {

// A builder that fills a small catalog instead of reading system tables.
void FakeBuilder(CMdfDatabase& db, VersionSetting) {
  db.catalog.tables[5] = {.id = 5, .fullName = "dbo.Orders", .rowCount = 15,
                          .columns = {{1, {"Name", "varchar", "(50)", " NULL"}}}};
  db.catalog.views.push_back({7, "dbo.v", "create view v as select 1"});
  db.catalog.userTypes.push_back({"id", "varchar(11)", "NOT NULL"});
}

TableGridPage FakeReader(CMdfDatabase&, VersionSetting, uint32_t, int32_t page) {
  return {{"Name"}, {{"row of page " + std::to_string(page)}}, 2};
}

class MainFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    frame_ = std::make_unique<CMainFrame>(FakeBuilder, FakeReader, &messages_);
    frame_->SetVersionAnswerForTests([this](VersionSetting& s, const VersionGuess& g) {
      detected_ = g;
      if (answer_ != VersionSetting::kNone) s = answer_;
    });
    frame_->SetExitAnswerForTests([] { return true; });
    path_ = dir_.Write("s.mdf", fixtures::BuildSampleDatabase({}).Image());
  }

  bool OpenAndWait(const std::string& path) {
    QSignalSpy done(frame_.get(), &CMainFrame::openCompleted);
    frame_->OpenFile(QString::fromStdString(path));
    EXPECT_TRUE(done.wait(5000));
    return !done.isEmpty() && done.front().front().toBool();
  }

  bool Enabled(int id) { return frame_->Action(id)->isEnabled(); }

  testing::TempDir dir_;
  RecordingMessages messages_;
  std::unique_ptr<CMainFrame> frame_;
  std::string path_;
  VersionSetting answer_ = VersionSetting::kSql2005;
  VersionGuess detected_;
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
  EXPECT_TRUE(proposed.sql2005Button()->isChecked());
  proposed.sql2000Button()->setChecked(true);
  proposed.accept();
  EXPECT_EQ(setting, VersionSetting::kSql2000);
}

}  // namespace
}  // namespace tollamer::app
