#include <gtest/gtest.h>

#include "app/paging_rule.h"
#include "app/tree_texts.h"

namespace tollamer::app {
namespace {

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
  PagingButtons one = PagingButtonRule(1, 1);
  EXPECT_FALSE(one.previousAndFirst || one.nextAndLast || one.jump || one.edit);
  PagingButtons first = PagingButtonRule(1, 2);
  EXPECT_FALSE(first.previousAndFirst);
  EXPECT_TRUE(first.nextAndLast && first.jump && first.edit);
  PagingButtons middle = PagingButtonRule(2, 3);
  EXPECT_TRUE(middle.previousAndFirst && middle.nextAndLast);
  PagingButtons last = PagingButtonRule(3, 3);
  EXPECT_TRUE(last.previousAndFirst);
  EXPECT_FALSE(last.nextAndLast);
  PagingButtons none = PagingButtonRule(1, 0);
  EXPECT_FALSE(none.nextAndLast || none.jump) << "a table without grid pages cannot page";

  GridState g;
  g.Next(3);
  EXPECT_EQ(g.currentPage, 2);
  EXPECT_TRUE(g.previousAllowed);
  g.Next(3);
  EXPECT_FALSE(g.nextAllowed);
  g.Previous(3);
  g.Previous(3);
  EXPECT_EQ(g.currentPage, 1);
  EXPECT_FALSE(g.previousAllowed);
  EXPECT_TRUE(g.nextAllowed);
  EXPECT_TRUE(g.Jump("3x", 3));
  EXPECT_EQ(g.currentPage, 3);
  EXPECT_FALSE(g.Jump("0", 3));
  EXPECT_FALSE(g.Jump("", 3));
  EXPECT_FALSE(g.Jump("4", 3));
  EXPECT_FALSE(g.Jump("99999999999999999999", 3));
  EXPECT_EQ(g.currentPage, 3);
}

}  // namespace
}  // namespace tollamer::app
