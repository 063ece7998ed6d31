#include "tools/data_sources.h"

#include <gtest/gtest.h>

#include "tests/tools/fake_machine.h"

namespace tollamer::tools {
namespace {

using testing::FakeMachine;

TEST(DataSourcesTest, DisksThenFixedVolumesThenTheImageItemAndChoosingFillsTheFields) {
  FakeMachine m;
  m.Disk("sda", uint64_t{3} << 29, false);  // 1.5 GB
  m.Disk("sdb", 1 << 20, true);
  m.Partition("sda", "sda1", 2048);
  m.Partition("sda", "sda2", 4096);
  m.Partition("sdb", "sdb1", 63);  // removable: no volume item
  auto devices = m.Devices();
  SourceMenu menu = BuildSourceMenu(devices);
  ASSERT_EQ(menu.diskCount, 2u);
  ASSERT_EQ(menu.items.size(), 7u);
  EXPECT_EQ(menu.items[0].id, 2001);
  EXPECT_EQ(menu.items[0].text, (m.dev / "sda").string() + ": (1 hard drive 1.5 GB)");
  EXPECT_EQ(menu.items[1].id, 2002);
  EXPECT_EQ(menu.items[2].kind, SourceMenuItem::Kind::kSeparator);
  EXPECT_EQ(menu.items[3].id, 2004);  // 2003 is never used
  EXPECT_EQ(menu.items[3].text, (m.dev / "sda1").string() + " (" + (m.dev / "sda").string() + " ,2048 sec)");
  EXPECT_EQ(menu.items[4].id, 2005);
  EXPECT_EQ(menu.items[6].id, 2000);  // the image item

  // Choosing fills the path, start and size.
  auto disk = ChooseSourceItem(menu, 2001, devices);
  ASSERT_TRUE(disk);
  EXPECT_EQ(disk->sourcePath, (m.dev / "sda").string());
  EXPECT_EQ(disk->startSector, "0");
  EXPECT_EQ(disk->sizeSectors, "3145728");
  EXPECT_TRUE(disk->detect);

  auto volume = ChooseSourceItem(menu, 2004, devices);
  ASSERT_TRUE(volume);
  EXPECT_EQ(volume->sourcePath, (m.dev / "sda").string());
  EXPECT_EQ(volume->startSector, "2048 ");  // the digits and one blank
  EXPECT_FALSE(volume->sizeSectors);
  EXPECT_FALSE(ChooseSourceItem(menu, 2003, devices));  // 2001 + n: never used
  EXPECT_FALSE(ChooseSourceItem(menu, 2012, devices));
}

TEST(DataSourcesTest, UnopenableDisksKeepTheirIdsAndItemsBeyond2011DoNothing) {
  FakeMachine m;
  m.Disk("sda", 0, false, false);  // no device node: no item
  for (char c = 'b'; c <= 'l'; ++c) m.Disk(std::string("sd") + c, 4096, false);
  m.Partition("sdb", "sdb1", 8);
  auto devices = m.Devices();
  SourceMenu menu = BuildSourceMenu(devices);
  EXPECT_EQ(menu.diskCount, 12u);
  EXPECT_EQ(menu.items[0].id, 2002);  // sdb keeps d = 1
  const SourceMenuItem* volume = nullptr;
  for (const auto& i : menu.items)
    if (i.kind == SourceMenuItem::Kind::kVolume) volume = &i;
  ASSERT_TRUE(volume);
  EXPECT_EQ(volume->id, 2014);
  EXPECT_FALSE(ChooseSourceItem(menu, 2014, devices));
  EXPECT_TRUE(ChooseSourceItem(menu, 2011, devices));
}

TEST(DataSourcesTest, AnImageWithoutExtensionShowsKvtButIsMeasuredAsChosen) {
  testing::TempDir dir;
  std::string path = dir.Write("disk", fixtures::Bytes(5 * 512 + 100, 0));
  SourceFields f = ChooseImageFile(path);
  EXPECT_EQ(f.sourcePath, path + ".kvt");
  EXPECT_EQ(f.sizeSectors, "5");
  EXPECT_EQ(f.startSector, "0");
  SourceFields missing = ChooseImageFile(dir.File("nothing.img"));
  EXPECT_EQ(missing.sourcePath, dir.File("nothing.img"));
  EXPECT_FALSE(missing.sizeSectors);
  EXPECT_FALSE(missing.detect);
}

}  // namespace
}  // namespace tollamer::tools
