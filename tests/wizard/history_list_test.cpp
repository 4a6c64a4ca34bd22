/* tests/wizard/history_list_test.cpp - the history lists: load order, skipped
 * items, the 16-item save, the edit text stand-in, the stop at the first failed
 * write, and the real storage's place in the configuration. */
#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>
#include <map>

#include "fake_history_storage.h"
#include "wizard/history_list.h"

namespace {

using wizard::HistoryList;

using FakeStorage = wizardtest::FakeHistoryStorage;

HistoryList make(FakeStorage** fake_ret) {
  auto fake = std::make_unique<FakeStorage>();
  *fake_ret = fake.get();
  return HistoryList(std::move(fake));
}

TEST(HistoryList, LoadPutsEachItemOnTop) {
  FakeStorage* fake;
  HistoryList list = make(&fake);
  fake->items = {{0, "Item0"}, {1, "Item1"}, {2, "Item2"}};
  EXPECT_EQ(list.load(), (QStringList{"Item2", "Item1", "Item0"}));
}

TEST(HistoryList, LoadSkipsMissingEmptyRepeatedAndOverlongItems) {
  FakeStorage* fake;
  HistoryList list = make(&fake);
  fake->items = {{0, "/a"}, {1, ""}, {3, "/b"}, {4, "/a"}, {5, QString(260, 'x')}, {15, "/last"}, {16, "/beyond"}};
  EXPECT_EQ(list.load(), (QStringList{"/last", "/b", "/a"}));
}

TEST(HistoryList, EditTextGoesOnTopUnlessListed) {
  FakeStorage* fake;
  HistoryList list = make(&fake);
  fake->items = {{0, "/a"}, {1, "/b"}};
  EXPECT_EQ(list.load("/new"), (QStringList{"/new", "/b", "/a"}));
  EXPECT_EQ(list.load("/a"), (QStringList{"/b", "/a"}));
}

TEST(HistoryList, SaveOfSeventeenShownWritesTheFirstSixteen) {
  FakeStorage* fake;
  HistoryList list = make(&fake);
  for (int i = 0; i < 16; ++i) fake->items[i] = QStringLiteral("/old%1").arg(i);
  const QStringList shown = list.load("/new");
  ASSERT_EQ(shown.size(), 17);
  fake->items.clear();
  EXPECT_EQ(list.save(shown), 16);
  EXPECT_EQ(fake->items.size(), 16u);
  EXPECT_EQ(fake->items[0], "/new");
  EXPECT_EQ(fake->items[1], "/old15");
  EXPECT_EQ(fake->items[15], "/old1");  // the oldest stored item, /old0, is dropped
}

TEST(HistoryList, EmptyPositionTakesTheEditTextAndEndsTheWalk) {
  FakeStorage* fake;
  HistoryList list = make(&fake);
  EXPECT_EQ(list.save({"/a", "", "/c"}, "/typed"), 2);
  EXPECT_EQ(fake->items[0], "/a");
  EXPECT_EQ(fake->items[1], "/typed");
  EXPECT_EQ(fake->items.count(2), 0u);
}

TEST(HistoryList, SaveStopsAtTheFirstFailedWrite) {
  FakeStorage* fake;
  HistoryList list = make(&fake);
  fake->fail_at_write = 2;
  EXPECT_EQ(list.save({"/a", "/b", "/c", "/d"}), 2);
  EXPECT_EQ(fake->writes, 3);
  EXPECT_EQ(fake->items.size(), 2u);
}

TEST(HistoryList, RealStorageLivesUnderParvellSoft) {
  // The wizard's pages in other tests of this process keep their lists here too.
  QSettings(QStringLiteral("ParvellSoft"), QStringLiteral("Parvell Wizard")).remove("ComboBxEx");
  {
    HistoryList list(QStringLiteral("UnZipPaths"));
    EXPECT_EQ(list.save({"/x/one", "/x/two"}), 2);
  }
  QSettings raw(QStringLiteral("ParvellSoft"), QStringLiteral("Parvell Wizard"));
  EXPECT_TRUE(raw.fileName().endsWith("/ParvellSoft/Parvell Wizard.conf")) << raw.fileName().toStdString();
  EXPECT_EQ(raw.value("ComboBxEx/UnZipPaths/Item0").toString(), "/x/one");
  EXPECT_EQ(raw.value("ComboBxEx/UnZipPaths/Item1").toString(), "/x/two");
  HistoryList again(QStringLiteral("UnZipPaths"));
  EXPECT_EQ(again.load(), (QStringList{"/x/two", "/x/one"}));
  HistoryList other(QStringLiteral("ZipFileName"));
  EXPECT_TRUE(other.load().isEmpty());
  raw.remove("ComboBxEx");
}

}  // namespace
