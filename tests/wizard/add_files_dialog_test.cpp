/* tests/wizard/add_files_dialog_test.cpp - the add-files dialog as a user drives it.
 *
 * Risks: an item list the engine reads differently from what was chosen (a
 * name with a blank, a quote, a dash, a wildcard; a chosen file dragging in
 * its neighbours), OK passing without a choice, Back or Up losing their way,
 * Delete destroying instead of trashing, and the remembered view and folder
 * not coming back.  The end-to-end case zips the choice through the run the
 * wizard uses and compares what 7-Zip extracts with what was chosen.
 */
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QListView>
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <map>
#include <memory>

#include "core/strings.h"
#include "peer_tools.h"
#include "run/operation_run.h"
#include "sheet_driver.h"
#include "test_env.h"
#include "wizard/add_files_dialog.h"
#include "wizard/add_files_hook.h"

namespace {

using wizard::CAddFilesDlg;

QString qs(const std::string& s) { return QString::fromStdString(s); }

void write_file(const QString& path, const QByteArray& bytes = "some text\n") {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
  file.write(bytes);
}

/// Every file and folder below @p root as "relative path" -> content ("/" for a folder).
std::map<QString, QByteArray> tree_of(const QString& root) {
  std::map<QString, QByteArray> tree;
  QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    const QString rel = QDir(root).relativeFilePath(path);
    if (it.fileInfo().isDir()) {
      tree[rel] = "/";
    } else {
      QFile file(path);
      tree[rel] = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("unreadable");
    }
  }
  return tree;
}

class AddFilesDialog : public sheettest::SheetTest {
 protected:
  void SetUp() override {
    SheetTest::SetUp();
    root = qs(testenv::make_temp_dir("addfiles"));
  }

  /// The dialog as the welcome page opens it, on @p folder (remembered as the last one).
  std::unique_ptr<CAddFilesDlg> open_at(const QString& folder) {
    platform::SettingsStore store(false);
    store.write_string(QStringLiteral("Settings"), QString::fromLatin1(CAddFilesDlg::kFolderValue), folder);
    auto dialog = std::make_unique<CAddFilesDlg>(record);
    dialog->show();
    return dialog;
  }
  /// Waits until the list shows @p rows entries, sorted: folders first, then files, each by name.
  static bool shows(const CAddFilesDlg& dialog, int rows) {
    return QTest::qWaitFor([&] {
      const QModelIndex root = dialog.active_view()->rootIndex();
      if (dialog.model()->rowCount(root) != rows) return false;
      for (int row = 1; row < rows; ++row) {
        const QModelIndex a = dialog.model()->index(row - 1, 0, root), b = dialog.model()->index(row, 0, root);
        const bool folders = dialog.model()->isDir(a) == dialog.model()->isDir(b);
        if (folders ? a.data().toString().compare(b.data().toString(), Qt::CaseInsensitive) > 0 : !dialog.model()->isDir(a))
          return false;
      }
      return true;
    });
  }
  /// Selects @p names of the folder shown, as Ctrl+click would.
  static void choose(CAddFilesDlg& dialog, const QStringList& names) {
    QItemSelectionModel* selection = dialog.active_view()->selectionModel();
    for (const QString& name : names) {
      const QModelIndex index = dialog.model()->index(QDir(dialog.current_folder()).filePath(name));
      ASSERT_TRUE(index.isValid()) << name.toStdString();
      selection->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
  }
  static QAction* action(const CAddFilesDlg& dialog, const char* name) {
    return dialog.findChild<QAction*>(QString::fromLatin1(name));
  }

  QString root;
};

TEST_F(AddFilesDialog, TheWelcomePagesNextShowsTheDialogAndItsCancelStays) {
  ASSERT_NE(start(), nullptr);
  welcome()->set_add_files_hook(wizard::default_add_files_hook());
  QString caption;
  QTimer poll;  // answers the dialog once it is up
  QObject::connect(&poll, &QTimer::timeout, [&] {
    for (QWidget* window : QApplication::topLevelWidgets()) {
      auto* dialog = qobject_cast<CAddFilesDlg*>(window);
      if (dialog == nullptr || !dialog->isVisible()) continue;
      caption = dialog->windowTitle();
      dialog->reject();
      poll.stop();
    }
  });
  poll.start(10);
  click(QWizard::NextButton);
  EXPECT_EQ(caption, QStringLiteral("Parvell Wizard - Select Files to Add"));
  EXPECT_EQ(sheet->currentId(), 131);
}

// ---- the item list ------------------------------------------------------------------

TEST(AddFilesItemList, EntriesQuoteEachPathAndAFolderStandsForItsContent) {
  EXPECT_EQ(wizard::item_list_entry(QStringLiteral("/home/u/x/Old"), true) +
                wizard::item_list_entry(QStringLiteral("/home/u/x/a.txt"), false),
            "\"/home/u/x/Old/*.*\" \"/home/u/x/a.txt\" ");
  EXPECT_EQ(wizard::item_list_entry(QString::fromUtf8("/d\xC3\xA9j\xC3\xA0 vu/-n"), false), "\"/d\xC3\xA9j\xC3\xA0 vu/-n\" ");
}

/// An existing folder path of exactly @p bytes bytes below @p base (ASCII names).
QString folder_of_bytes(const QString& base, int bytes) {
  QString path = base;
  while (path.size() < bytes) {
    const int room = bytes - int(path.size()) - 1;
    path += QLatin1Char('/') + QString(room > 201 ? 150 : room, QLatin1Char('d'));
  }
  QDir().mkpath(path);
  return path;
}

TEST_F(AddFilesDialog, NamesTheItemListCannotCarryAreRefusedWithTheirReason) {
  const struct {
    const char* name;
    bool folder;
    int reason;
  } rows[] = {
      {"plain -n blank \xC3\xA9.txt", false, 0},
      {"say \"hi\".txt", false, core::kIdsReasonQuote},
      {"quote\"folder", true, core::kIdsReasonQuote},
      {"star*.txt", false, core::kIdsReasonWildcard},
      {"what?.txt", false, core::kIdsReasonWildcard},
      {"star*folder", true, 0},  // a folder's name is no pattern
      {".hidden", false, core::kIdsReasonHidden},
      {".hidden folder", true, 0},
      {"ends in a dot.", false, core::kIdsReasonTrailingDot},
  };
  for (const auto& row : rows) {
    const QString path = root + QLatin1Char('/') + QString::fromUtf8(row.name);
    row.folder ? (void)QDir().mkpath(path) : write_file(path);
    EXPECT_EQ(wizard::item_list_problem(path, row.folder), row.reason) << row.name;
  }
  EXPECT_EQ(wizard::item_list_problem(root + QStringLiteral("/not there"), false), core::kIdsReasonGone);
  // The engine cuts an item after 4095 bytes; a folder's "/*.*" counts.
  EXPECT_EQ(wizard::item_list_problem(folder_of_bytes(root, 4091), true), 0);
  EXPECT_EQ(wizard::item_list_problem(folder_of_bytes(root, 4092), true), core::kIdsReasonTooLong);
}

// ---- OK ---------------------------------------------------------------------------------

TEST_F(AddFilesDialog, OkTakesTheChoiceInListOrderOrSaysWhyNot) {
  for (const char* name : {"/Old/inside.txt", "/a.txt", "/say \"hi\".txt"}) write_file(root + QLatin1String(name));
  auto dialog = open_at(root);
  ASSERT_TRUE(shows(*dialog, 3));
  QAbstractButton* ok = dialog->findChild<QAbstractButton*>(QStringLiteral("okButton"));
  ok->click();  // nothing chosen: the note, and the dialog stays
  choose(*dialog, {QStringLiteral("a.txt"), QStringLiteral("say \"hi\".txt")});
  ok->click();  // a name the item list cannot carry: its reason, and nothing is taken
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].icon, dialogs::BoxIcon::kInformation);
  EXPECT_EQ(boxes[0].title + boxes[0].text, QStringLiteral("Warning!No Items have been selected to be added to ZIP File!"));
  EXPECT_EQ(boxes[1].icon, dialogs::BoxIcon::kStop);
  EXPECT_TRUE(boxes[1].text.startsWith(QStringLiteral("\"%1/say \"hi\".txt\" cannot be added").arg(root)));
  EXPECT_TRUE(boxes[1].text.contains(QStringLiteral("double quote")));
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_TRUE(record.file_list.empty() && record.selected_items.empty());

  dialog->active_view()->selectionModel()->clearSelection();
  choose(*dialog, {QStringLiteral("a.txt"), QStringLiteral("Old")});  // list order wins: folders first
  ok->click();
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  const std::string at = root.toStdString();
  EXPECT_EQ(record.file_list, "\"" + at + "/Old/*.*\" \"" + at + "/a.txt\" ");
  EXPECT_EQ(record.originating_folder, at);
  ASSERT_EQ(record.selected_items.size(), 2u);
  EXPECT_EQ(record.selected_items[0].path + " " + std::to_string(record.selected_items[1].position), at + "/Old 1");
  EXPECT_EQ(record.selected_folder_count * 10 + record.selected_file_count, 11);
}

// ---- browsing ---------------------------------------------------------------------------

TEST_F(AddFilesDialog, BackReturnsThroughTheFoldersInReverseAndUpStopsAtTheRoot) {
  for (const char* sub : {"/one/two/three", "/other"}) QDir().mkpath(root + QLatin1String(sub));
  auto dialog = open_at(root);
  QAction* back = action(*dialog, "actionBack");
  QAction* up = action(*dialog, "actionUp");
  EXPECT_FALSE(back->isEnabled());
  EXPECT_TRUE(up->isEnabled());
  ASSERT_TRUE(shows(*dialog, 2));
  // Double-click, Enter and the "Look In" box each change the folder once.
  QAbstractItemView* view = dialog->active_view();
  const QModelIndex one = dialog->model()->index(root + QStringLiteral("/one"));
  emit view->doubleClicked(one);
  ASSERT_TRUE(shows(*dialog, 1));
  view->setCurrentIndex(dialog->model()->index(root + QStringLiteral("/one/two")));
  QTest::keyClick(view, Qt::Key_Return);
  EXPECT_TRUE(dialog->isVisible());  // Enter on a folder enters it, it is no OK
  QLineEdit* look_in = dialog->findChild<QComboBox*>(QStringLiteral("lookIn"))->lineEdit();
  look_in->setText(root + QStringLiteral("/other"));
  QTest::keyClick(look_in, Qt::Key_Return);
  EXPECT_EQ(dialog->current_folder(), root + QStringLiteral("/other"));
  for (const QString& expected : {root + "/one/two", root + "/one", root}) {
    ASSERT_TRUE(back->isEnabled());
    back->trigger();
    EXPECT_EQ(dialog->current_folder(), expected);
  }
  EXPECT_FALSE(back->isEnabled());

  EXPECT_TRUE(dialog->browse_to(QStringLiteral("/")));
  EXPECT_FALSE(up->isEnabled());
  up->trigger();
  EXPECT_EQ(dialog->current_folder(), QStringLiteral("/"));
  // A folder that is not there is named, and the dialog stays where it was.
  look_in->setText(root + QStringLiteral("/nowhere"));
  QTest::keyClick(look_in, Qt::Key_Return);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, QStringLiteral("The folder \"%1/nowhere\" does not exist.").arg(root));
  EXPECT_EQ(dialog->current_folder(), QStringLiteral("/"));
}

TEST_F(AddFilesDialog, DeleteAsksThenMovesTheChoiceToTheTrash) {
  // A private trash: XDG_DATA_HOME and HOME in this test's folder (one file system).
  const QByteArray old_home = qgetenv("HOME"), old_data = qgetenv("XDG_DATA_HOME");
  qputenv("HOME", root.toUtf8());
  qputenv("XDG_DATA_HOME", (root + QStringLiteral("/data")).toUtf8());
  const QString folder = root + QStringLiteral("/work");
  write_file(folder + QStringLiteral("/keep.txt"));
  write_file(folder + QStringLiteral("/gone.txt"), "undo me\n");
  write_file(folder + QStringLiteral("/gone folder/in.txt"));
  auto dialog = open_at(folder);
  ASSERT_TRUE(shows(*dialog, 3));
  choose(*dialog, {QStringLiteral("gone.txt"), QStringLiteral("gone folder")});
  EXPECT_TRUE(action(*dialog, "actionDelete")->isEnabled());

  answer_yes = false;
  action(*dialog, "actionDelete")->trigger();
  EXPECT_TRUE(QFile::exists(folder + QStringLiteral("/gone.txt")));
  answer_yes = true;
  action(*dialog, "actionDelete")->trigger();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].text, QStringLiteral("Are you sure you would like to delete the selected files?"));
  EXPECT_FALSE(QFile::exists(folder + QStringLiteral("/gone.txt")));
  EXPECT_TRUE(QFile::exists(folder + QStringLiteral("/keep.txt")));
  const QString trash = root + QStringLiteral("/data/Trash");
  QFile trashed(trash + QStringLiteral("/files/gone.txt"));
  ASSERT_TRUE(trashed.open(QIODevice::ReadOnly));
  EXPECT_EQ(trashed.readAll(), QByteArray("undo me\n"));
  EXPECT_TRUE(QFile::exists(trash + QStringLiteral("/files/gone folder/in.txt")));
  EXPECT_TRUE(QFile::exists(trash + QStringLiteral("/info/gone.txt.trashinfo")));
  EXPECT_TRUE(shows(*dialog, 1));  // the list shows what is left
  EXPECT_FALSE(action(*dialog, "actionDelete")->isEnabled());
  qputenv("HOME", old_home);
  old_data.isNull() ? qunsetenv("XDG_DATA_HOME") : qputenv("XDG_DATA_HOME", old_data);
}

TEST_F(AddFilesDialog, TheViewAndTheFolderAreThereAgainNextTime) {
  QDir().mkpath(root + QStringLiteral("/later"));
  {
    auto dialog = open_at(root);
    // The stored default (1) is no view command: the initial details view.
    EXPECT_EQ(dialog->view_command(), 1);
    EXPECT_TRUE(qobject_cast<QTreeView*>(dialog->active_view()));
    action(*dialog, "actionLargeIcons")->trigger();
    dialog->browse_to(root + QStringLiteral("/later"));
  }
  CAddFilesDlg again(record);
  EXPECT_EQ(again.current_folder(), root + QStringLiteral("/later"));
  EXPECT_EQ(again.view_command(), CAddFilesDlg::kViewLargeIcons);
  auto* icons = qobject_cast<QListView*>(again.active_view());
  ASSERT_NE(icons, nullptr);
  EXPECT_EQ(icons->viewMode(), QListView::IconMode);
  // Arrange is remembered as chosen and keeps the style.
  action(again, "actionArrange")->trigger();
  EXPECT_EQ(icons->viewMode(), QListView::IconMode);
  EXPECT_EQ(again.view_command(), CAddFilesDlg::kViewArrange);
}

// ---- end to end: the choice through the wizard's run and back out of 7-Zip ---------------

TEST_F(AddFilesDialog, ChosenNamesComeBackFrom7ZipExactlyAsChosen) {
  if (!testenv::have_7zz()) GTEST_SKIP() << "7zz is not installed";
  const QString src = root + QStringLiteral("/src");
  write_file(src + QStringLiteral("/with blanks .txt"), "blanks\n");
  write_file(src + QString::fromUtf8("/d\xC3\xA9j\xC3\xA0 vu.txt"), "accents\n");
  write_file(src + QStringLiteral("/-n"), "a dash\n");
  QDir().mkpath(src + QStringLiteral("/empty"));
  write_file(src + QStringLiteral("/tree/say \"hi\".txt"), "a quote\n");
  write_file(src + QStringLiteral("/tree/sub/deeper/-n"), "another dash\n");
  write_file(src + QStringLiteral("/tree/sub/ends in a dot."), "dot\n");
  // Not chosen: a file of a chosen name below, and a folder beside them.
  write_file(src + QStringLiteral("/not chosen/-n"), "must stay out\n");
  write_file(src + QStringLiteral("/not chosen.txt"), "must stay out\n");

  auto dialog = open_at(src);
  ASSERT_TRUE(shows(*dialog, 7));
  const QStringList chosen = {QStringLiteral("with blanks .txt"), QString::fromUtf8("d\xC3\xA9j\xC3\xA0 vu.txt"),
                              QStringLiteral("-n"), QStringLiteral("empty"), QStringLiteral("tree")};
  choose(*dialog, chosen);
  dialog->accept();
  ASSERT_EQ(dialog->result(), QDialog::Accepted) << (boxes.empty() ? "" : boxes[0].text.toStdString());

  // The run of the performing page, faster compression off: create new, level 7, recursion.
  record.run_mode = core::kRunModeCreate;
  record.create_new = 1;
  record.archive_path = root.toStdString() + "/chosen.zip";
  run::RunPresenter presenter;
  run::OperationRun zip_run(record, log, presenter);
  zip_run.page_created();
  ASSERT_EQ(zip_run.prepare(), run::OperationRun::Preparation::kReady);
  ASSERT_EQ(zip_run.perform(), 0);

  const QString out = root + QStringLiteral("/out");
  ASSERT_EQ(testenv::run_command("LC_ALL=C.UTF-8 7zz x -y -bso0 -bsp0 '-o" + out.toStdString() + "' '" + record.archive_path + "'"),
            0);
  std::map<QString, QByteArray> expected;
  for (const QString& name : chosen) {
    const QFileInfo info(src + QLatin1Char('/') + name);
    expected[name] = info.isDir() ? QByteArray("/") : tree_of(src).at(name);
    if (info.isDir()) {
      for (const auto& [rel, bytes] : tree_of(info.filePath())) expected[name + QLatin1Char('/') + rel] = bytes;
    }
  }
  EXPECT_EQ(tree_of(out + src), expected);  // nothing missing, nothing extra, every byte
}

}  // namespace
