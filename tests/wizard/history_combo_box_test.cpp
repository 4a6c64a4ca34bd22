/* tests/wizard/history_combo_box_test.cpp - the history box as the pages use it.
 *
 * Risks: an edit text lost or duplicated when the list loads, the seventeenth
 * entry written back, a session's typed name never remembered, the order
 * of a saved list not turned over by the next load, entries without icons,
 * and a scheduled run changing the user's lists.
 */
#include <gtest/gtest.h>

#include <QDir>
#include <QLineEdit>

#include "fake_history_storage.h"
#include "test_env.h"
#include "wizard/history_combo_box.h"

namespace {

using wizard::CMyHistoryComboBoxExtended;
using wizardtest::FakeHistoryStorage;
using Kind = CMyHistoryComboBoxExtended::EntryKind;

// A box over a fake storage that outlives it, so a test reads what the destructor saved.
struct Box {
  std::shared_ptr<FakeHistoryStorage> storage = std::make_shared<FakeHistoryStorage>();
  std::unique_ptr<CMyHistoryComboBoxExtended> widget;

  explicit Box(Kind kind = Kind::kFiles) { reopen(kind); }
  void reopen(Kind kind = Kind::kFiles) {
    widget.reset();
    // The box owns its storage; this one forwards to the shared fake.
    struct Forward : platform::HistoryStorage {
      std::shared_ptr<FakeHistoryStorage> to;
      std::optional<QString> read_item(int i) override { return to->read_item(i); }
      bool write_item(int i, const QString& t) override { return to->write_item(i, t); }
    };
    auto forward = std::make_unique<Forward>();
    forward->to = storage;
    widget = std::make_unique<CMyHistoryComboBoxExtended>(std::move(forward), kind);
  }
};

TEST(HistoryComboBox, SixteenStoredAndANewEditTextShowSeventeenAndSaveSixteen) {
  Box box;
  for (int i = 0; i < 16; ++i) box.storage->items[i] = QStringLiteral("/old%1.zip").arg(i);
  box.widget->set_text("/new.zip");
  box.widget->load_history();
  ASSERT_EQ(box.widget->count(), 17);
  EXPECT_EQ(box.widget->text(), "/new.zip");
  EXPECT_EQ(box.widget->itemText(0), "/new.zip");
  EXPECT_EQ(box.widget->itemText(1), "/old15.zip");
  for (int i = 0; i < box.widget->count(); ++i) EXPECT_FALSE(box.widget->itemIcon(i).isNull()) << i;

  box.storage->items.clear();
  box.widget.reset();  // the destructor saves
  ASSERT_EQ(box.storage->items.size(), 16u);
  EXPECT_EQ(box.storage->items[0], "/new.zip");
  EXPECT_EQ(box.storage->items[15], "/old1.zip");  // /old0.zip, the oldest, is dropped
}

TEST(HistoryComboBox, SavedOrderIsTurnedOverByTheNextLoadAndTypedNamesJoin) {
  Box box;
  box.storage->items = {{0, "Item0"}, {1, "Item1"}, {2, "Item2"}};
  box.widget->load_history();
  EXPECT_EQ(box.widget->entries(), (QStringList{"Item2", "Item1", "Item0"}));
  EXPECT_TRUE(box.widget->text().isEmpty());  // loading chose no entry

  // A name typed in this session takes the first free position on save...
  box.widget->lineEdit()->setText("/typed");
  EXPECT_EQ(box.widget->save_history(), 4);
  EXPECT_EQ(box.storage->items[3], "/typed");
  // ...and comes out on top after the next load.
  box.reopen();
  box.widget->load_history();
  EXPECT_EQ(box.widget->entries(), (QStringList{"/typed", "Item0", "Item1", "Item2"}));

  // Choosing a listed entry writes it once, not twice.
  box.widget->setCurrentIndex(2);
  EXPECT_EQ(box.widget->text(), "Item1");
  box.storage->items.clear();
  EXPECT_EQ(box.widget->save_history(), 4);
  EXPECT_EQ(box.storage->items.count(4), 0u);
}

TEST(HistoryComboBox, FoldersGetFolderIconsAndSchedulesChangeNothing) {
  Box box(Kind::kFolders);
  const QString real = QString::fromStdString(testenv::make_temp_dir("history"));
  box.storage->items = {{0, real}, {1, "/no/such/folder"}};
  box.widget->load_history();
  ASSERT_EQ(box.widget->count(), 2);
  EXPECT_FALSE(box.widget->itemIcon(0).isNull());
  EXPECT_FALSE(box.widget->itemIcon(1).isNull());

  Box quiet;
  quiet.storage->items = {{0, "/kept"}};
  quiet.widget->set_remembering(false);
  quiet.widget->load_history();
  EXPECT_EQ(quiet.widget->count(), 0);
  quiet.widget->set_text("/scheduled");
  quiet.widget.reset();
  EXPECT_EQ(quiet.storage->writes, 0);
  EXPECT_EQ(quiet.storage->items.size(), 1u);
}

}  // namespace
