/* tests/wizard/archive_pages_test.cpp - the pick-archive and pick-folder pages, used as a person uses them.
 *
 * Risks: a row of either check table shown wrong on the page or Next not
 * following it; a proposal or a browsed name built wrong; an archive listed
 * again on every keystroke; a second listing started while one runs, or a
 * large archive freezing the window; the folder or the default extraction
 * folder handed on wrong; the remembered values and history lists not
 * surviving a restart; the password question not answered from this page's
 * listing.
 */
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include "bridge/engine_bridge.h"
#include "core/strings.h"
#include "peer_run.h"
#include "test_env.h"
#include "sheet_driver.h"
#include "wizard/history_combo_box.h"
#include "wizard/pick_dialogs.h"
#include "wizard/pick_unzip_folder_page.h"
#include "wizard/pick_zip_file_page.h"
#include "zip_builder.h"

namespace {

using wizard::CPickUnZipFolderName;
using wizard::CPickZipFileName;

// Archives of each kind the checks tell apart, and a folder and a file for the folder check.
struct Files {
  QString dir = QString::fromStdString(testenv::make_temp_dir("pages"));
  QString good = dir + "/good.zip", junk = dir + "/junk.zip", empty = dir + "/empty.zip";
  QString missing = dir + "/missing.zip", folder = dir + "/out", file = dir + "/plain.txt";
  Files() {
    testzip::Archive two;
    two.entries = {testzip::stored_entry("a.txt"), testzip::stored_entry("b/c.txt")};
    testenv::write_file(good.toStdString(), two.build());
    testenv::write_file(junk.toStdString(), std::vector<uint8_t>(100, 'x'));
    testenv::write_file(empty.toStdString(), testzip::empty_archive());
    testenv::write_file(file.toStdString(), {'t'});
    QDir().mkpath(folder);
  }
};

const Files& files() {
  static const Files f;
  return f;
}

/// The 70,000-entry archive, made once with the engine from as many empty files.
const QString& large_archive() {
  static const QString path = [] {
    const std::string dir = testenv::make_temp_dir("large-list");
    const std::string source = dir + "/items";
    QDir().mkpath(QString::fromStdString(source));
    for (int i = 0; i < 70000; ++i) testenv::write_file(source + "/f" + std::to_string(i), {});
    const std::string archive = dir + "/large.zip";
    const int32_t rc = bridge::zip_run(core::load_string, nullptr, archive.c_str(), (source + "/*").c_str(), nullptr,
                                       nullptr, nullptr, nullptr, bridge::kZipAdd, bridge::kPathModeNoFolders, 0, 0,
                                       nullptr);
    EXPECT_EQ(rc, 0);
    return QString::fromStdString(archive);
  }();
  return path;
}

QString picture_of(const QWidget* page) {
  return page->findChild<QLabel*>(QStringLiteral("verdictPicture"))->property("picture").toString();
}
// Texts as std::string, so a failure prints them readably.
std::string verdict_of(const QWidget* page) {
  return page->findChild<QLabel*>(QStringLiteral("verdictText"))->text().toStdString();
}
std::string label_of(const QWidget* page, const char* name) {
  return page->findChild<QLabel*>(QString::fromLatin1(name))->text().toStdString();
}

/// Replaces what the user has in @p box by @p text, key by key.
void type_into(QComboBox* box, const QString& text) {
  box->lineEdit()->selectAll();
  QTest::keyClick(box->lineEdit(), Qt::Key_Delete);
  QTest::keyClicks(box->lineEdit(), text);
}

class ArchivePages : public ::testing::Test {
 protected:
  void TearDown() override {
    zip_page.reset();
    folder_page.reset();
    wizard::reset_pick_dialogs();
    QSettings(QStringLiteral("ParvellSoft"), QStringLiteral("Parvell Wizard")).remove("ComboBxEx");
  }
  /// The pick-archive page of @p run_mode, activated with @p archive in the record; its listings counted.
  CPickZipFileName& open_zip_page(int run_mode, const QString& archive = QString()) {
    record.run_mode = run_mode;
    record.archive_path = archive.toStdString();
    zip_page = std::make_unique<CPickZipFileName>(record);
    zip_page->lister().set_list_function([this](const char* path, int32_t* count, bridge::UiProgressCallback* cb) {
      ++listings;
      max_depth = std::max(max_depth, ++depth);
      const int32_t rc = bridge::list_archive(core::load_string, nullptr, path, nullptr, count, cb);
      --depth;
      return rc;
    });
    zip_page->show();
    zip_page->on_set_active();
    return *zip_page;
  }
  CPickUnZipFolderName& open_folder_page() {
    record.run_mode = core::kRunModeExtract;
    folder_page = std::make_unique<CPickUnZipFolderName>(record);
    folder_page->show();
    folder_page->on_set_active();
    return *folder_page;
  }
  QComboBox* zip_box() const { return zip_page->findChild<QComboBox*>(QStringLiteral("comboZipFileName")); }
  /// Types @p text into the archive name box and waits for its check.
  void type_name(const QString& text) {
    type_into(zip_box(), text);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !zip_page->check_pending(); }, 60000));
  }

  core::OperationRecord record;
  std::unique_ptr<CPickZipFileName> zip_page;
  std::unique_ptr<CPickUnZipFolderName> folder_page;
  int listings = 0, depth = 0, max_depth = 0;
};

TEST_F(ArchivePages, EveryRowOfTheArchiveCheckAsTyped) {
  const Files& f = files();
  struct Row {
    int mode;
    QString name, text, picture;
    bool valid;
  };
  const Row rows[] = {
      {2, f.good, "ZIP File 'good.zip' contains 2 item(s).", "status-good", true},
      {1, f.junk, "ZIP File 'junk.zip' exists, but cannot be recognized as ZIP! Update Operation May Fail!",
       "status-error", false},
      {2, f.empty,
       "<No> Items Found in ZIP, 'empty.zip' may be an empty ZIP File or it cannot be recognized as ZIP! Update "
       "Operation May Fail!",
       "status-error", false},
      {2, f.missing, "ZIP File 'missing.zip' does not exist. ZIP must exist in order to UnZIP.", "status-error", false},
      {0, f.missing,
       "ZIP File 'missing.zip' does not exist and it will be created.\nPress Browse or NewZIP to select or create "
       "another ZIP File...",
       "status-note", true},
      {2, "", "ZIP File Name Cannot be Empty!", "status-error", false},
      {1, "", "Press Browse or NewZIP to select or create another ZIP File...", "status-note", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name.toStdString() + " mode " + std::to_string(row.mode));
    CPickZipFileName& page = open_zip_page(row.mode, row.mode == 2 ? f.missing : f.good);
    type_name(row.name);
    EXPECT_EQ(verdict_of(&page), row.text.toStdString());
    EXPECT_EQ(picture_of(&page), row.picture);
    EXPECT_EQ(page.isComplete(), row.valid);
    EXPECT_EQ(page.validatePage(), row.valid);  // Next checks again
    EXPECT_EQ(record.archive_path, row.name.toStdString());
  }
}

TEST_F(ArchivePages, ActivationShowsTheLinesOfTheOperation) {
  record.originating_folder = "/home/u/Docs/";
  record.selected_items = {{0, "/home/u/Docs/a"}, {1, "/home/u/Docs/b"}, {2, "/home/u/Docs/c"}};
  CPickZipFileName& create = open_zip_page(core::kRunModeCreate);
  EXPECT_EQ(create.archive_name(), "/home/u/Docs.ZIP");  // proposed from the originating folder
  EXPECT_TRUE(create.isComplete());
  EXPECT_EQ(label_of(&create, "labelSelection"),
            "Press &lt;<u>B</u>ack to change your Files Selection. Current 3 item(s) in list.");
  EXPECT_EQ(label_of(&create, "labelHint"), "Press Next when ready to continue with Additional Parameters Page...");
  EXPECT_FALSE(create.findChild<QWidget*>("checkPickFolder")->isVisible());
  EXPECT_TRUE(create.findChild<QWidget*>("buttonNewZip")->isVisible());

  CPickZipFileName& extract = open_zip_page(core::kRunModeExtract, files().good);
  EXPECT_EQ(extract.archive_name(), files().good);
  EXPECT_EQ(label_of(&extract, "labelSelection"), "");
  EXPECT_EQ(label_of(&extract, "labelHint"),
            "Press Next to continue with Folder Selection Page if checkbox bellow is checked...");
  EXPECT_FALSE(extract.findChild<QWidget*>("buttonNewZip")->isVisible());
  auto* box = extract.findChild<QAbstractButton*>("checkPickFolder");
  ASSERT_TRUE(box->isVisible());
  box->setChecked(true);
  EXPECT_EQ(label_of(&extract, "labelCheckBoxNote"), "Click Next> to go to UnZIP folder selection page.");
  box->setChecked(false);
  const QString desktop_folder = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation) + "/good/";
  EXPECT_EQ(label_of(&extract, "labelCheckBoxNote"),
            ("When not picking an UnZIP folder, the default location will be on Desktop, at '" + desktop_folder + "'.")
                .toStdString());
  EXPECT_EQ(QString::fromStdString(record.destination_folder), desktop_folder);
}

TEST_F(ArchivePages, BrowseAndNewZipFillTheBoxAndCheckIt) {
  const QString report = files().dir + "/report";
  QStringList filters_seen;
  wizard::pick_dialogs().open_file = [&](QWidget*, const QStringList& filters, const QString&) {
    filters_seen = filters;
    return wizard::ChosenFile{report, 2};  // the JAR filter
  };
  wizard::pick_dialogs().new_file = [&](QWidget*, const QStringList&, const QString&) {
    return wizard::ChosenFile{files().good, 1};
  };
  CPickZipFileName& page = open_zip_page(core::kRunModeCreate, files().missing);
  page.findChild<QPushButton*>("buttonBrowse")->click();
  EXPECT_EQ(page.archive_name(), report + ".JAR");
  EXPECT_EQ(filters_seen.size(), 5);
  EXPECT_EQ(verdict_of(&page).find("ZIP File 'report.JAR' does not exist and it will be created."), 0u);
  page.findChild<QPushButton*>("buttonNewZip")->click();
  EXPECT_EQ(verdict_of(&page), "ZIP File 'good.zip' contains 2 item(s).");
  // A file chosen as it stands keeps its name, extension or not.
  wizard::pick_dialogs().open_file = [&](QWidget*, const QStringList&, const QString&) {
    return wizard::ChosenFile{files().file.chopped(4), 1};
  };
  testenv::write_file(files().file.chopped(4).toStdString(), {'x'});
  page.findChild<QPushButton*>("buttonBrowse")->click();
  EXPECT_EQ(page.archive_name(), files().file.chopped(4));
}

TEST_F(ArchivePages, TheSameArchiveIsListedOnceAndItsNamesCollected) {
  CPickZipFileName& page = open_zip_page(core::kRunModeExtract, files().good);
  EXPECT_EQ(listings, 1);
  EXPECT_EQ(page.listed_names(), (QStringList{"a.txt", "b/c.txt"}));
  page.check_archive();
  EXPECT_TRUE(page.validatePage());
  page.on_set_active();
  EXPECT_EQ(listings, 1);
  type_name(files().empty);
  type_name(files().good);  // listed anew: another archive came between
  EXPECT_EQ(listings, 3);
}

TEST_F(ArchivePages, ThePasswordQuestionFollowsThePageListing) {
  const std::string dir = testenv::make_temp_dir("aes-page");
  testenv::write_file(dir + "/secret.txt", std::vector<uint8_t>(300, 's'));
  for (const char* password : {"pw", ""}) {
    const std::string archive = dir + (*password ? "/aes.zip" : "/plain.zip");
    ASSERT_EQ(bridge::zip_run(core::load_string, nullptr, archive.c_str(), (dir + "/secret.txt").c_str(), nullptr,
                              password, nullptr, nullptr, bridge::kZipAdd, bridge::kPathModeNoFolders, 7, 0, nullptr),
              0);
    ASSERT_TRUE(open_zip_page(core::kRunModeExtract, QString::fromStdString(archive)).isComplete());
    EXPECT_EQ(bridge::archive_has_encrypted_items(core::load_string, nullptr, archive.c_str()), *password ? 1 : 0);
  }
}

TEST_F(ArchivePages, ALargeListingKeepsTheWindowAliveAndRunsOneAtATime) {
  const QString large = large_archive();
  int fired = 0;
  bool progress_shown = false, next_held = true;
  QTimer ticker;
  ticker.setInterval(0);
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    ++fired;
    if (!zip_page) return;
    progress_shown |= zip_page->findChild<QProgressBar*>("progressListing")->isVisible();
    next_held &= !zip_page->isComplete();
  });
  ticker.start();
  CPickZipFileName& page = open_zip_page(core::kRunModeExtract, large);
  ticker.stop();
  EXPECT_EQ(verdict_of(&page), "ZIP File 'large.zip' contains 70000 item(s).");
  EXPECT_TRUE(page.isComplete());
  EXPECT_GT(fired, 0);
  EXPECT_TRUE(progress_shown);
  EXPECT_TRUE(next_held);
  EXPECT_FALSE(page.findChild<QProgressBar*>("progressListing")->isVisible());

  // A name typed while the listing runs stops it and is checked once it has ended.
  const QString large_copy = files().dir + "/large-copy.zip";
  QFile::remove(large_copy);
  ASSERT_TRUE(QFile::copy(large, large_copy));
  bool typed = false;
  QTimer typist;
  typist.setInterval(0);
  QObject::connect(&typist, &QTimer::timeout, [&] {
    if (typed || depth == 0) return;
    typed = true;
    type_into(zip_box(), files().good);  // every keystroke asks for a check
  });
  typist.start();
  type_name(large_copy);
  typist.stop();
  EXPECT_TRUE(typed);
  EXPECT_EQ(max_depth, 1);
  EXPECT_EQ(listings, 3);  // large.zip, the stopped large-copy.zip, good.zip
  EXPECT_EQ(page.archive_name().toStdString(), files().good.toStdString());
  EXPECT_EQ(verdict_of(&page), "ZIP File 'good.zip' contains 2 item(s).");
}

TEST_F(ArchivePages, EveryRowOfTheFolderCheck) {
  const Files& f = files();
  struct Row {
    QString text, verdict_start, picture, folder;
    bool valid;
  };
  const Row rows[] = {
      {f.folder + "/", "UnZIP Folder 'out' already exists.\nIf you may want to chose a new folder", "status-good",
       f.folder, true},
      {"/home/u/Out/", "UnZIP Folder 'Out' does not exist and will be created during the UnZIP operation",
       "status-note", "/home/u/Out", true},
      {f.file, "", "status-error", f.file, false},
      {"", "UnZIP Folder cannot be empty.\nPlease Enter a ZIP Folder, Browse or Select it from the History ComboBox",
       "status-error", "", false},
  };
  CPickUnZipFolderName& page = open_folder_page();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text.toStdString());
    type_into(page.folder_box(), row.text);
    EXPECT_EQ(verdict_of(&page).substr(0, row.verdict_start.toStdString().size()), row.verdict_start.toStdString());
    EXPECT_EQ(picture_of(&page), row.picture);
    EXPECT_EQ(page.folder(), row.folder);
    EXPECT_EQ(page.isComplete(), row.valid);
    record.destination_folder = "unchanged";
    EXPECT_EQ(page.validatePage(), row.valid);
    EXPECT_EQ(record.destination_folder, row.valid ? row.folder.toStdString() : "unchanged");
  }
  QString title;
  wizard::pick_dialogs().choose_folder = [&](QWidget*, const QString& t, const QString&) {
    title = t;
    return f.folder;
  };
  page.findChild<QPushButton*>("buttonBrowse")->click();
  EXPECT_EQ(title, "Browse for UnZIP folder");
  EXPECT_EQ(page.folder(), f.folder);
  EXPECT_EQ(picture_of(&page), "status-good");
}

TEST_F(ArchivePages, RememberedValuesAndHistoriesSurviveARestart) {
  QSettings history(QStringLiteral("ParvellSoft"), QStringLiteral("Parvell Wizard"));
  history.remove(QString());
  for (int i = 0; i < 16; ++i) history.setValue(QStringLiteral("ComboBxEx/UnZipPaths/Item%1").arg(i), "/srv/f" + QString::number(i));
  for (int i = 0; i < 3; ++i) history.setValue(QStringLiteral("ComboBxEx/ZipFileName/Item%1").arg(i), "Item" + QString::number(i));
  history.sync();
  {
    platform::SettingsStore store(false);
    store.write_string("Settings", "PickFolderName", "/srv/new");
    store.write_int("Settings", "PickFolderChkBx", 0);
    store.flush();
  }
  CPickZipFileName& zip = open_zip_page(core::kRunModeExtract, files().good);
  EXPECT_FALSE(zip.continue_to_folder());
  EXPECT_EQ(zip.name_box()->entries().mid(0, 3), (QStringList{"Item2", "Item1", "Item0"}));
  zip.set_continue_to_folder(true);
  CPickUnZipFolderName& folder = open_folder_page();
  EXPECT_EQ(folder.folder_box()->entries().size(), 17);
  EXPECT_EQ(folder.folder_box()->entries().value(1), "/srv/f15");
  zip_page.reset();
  folder_page.reset();

  history.sync();
  EXPECT_EQ(history.value("ComboBxEx/UnZipPaths/Item15").toString(), "/srv/f1");  // the oldest, f0, dropped
  platform::SettingsStore store(false);
  EXPECT_EQ(store.read_int("Settings", "PickFolderChkBx", -1), 1);
  EXPECT_EQ(store.read_string("Settings", "PickFileName", ""), files().good);
  EXPECT_EQ(store.read_string("Settings", "PickFolderName", ""), "/srv/new");

  store.write_string("Settings", "PickFolderName", "/srv/" + QString(300, 'x'));
  store.flush();
  EXPECT_EQ(open_folder_page().folder_box()->text().size(), 260);  // the folder buffer's length
}

// ---- through the sheet ---------------------------------------------------------------

class ArchivePagesInTheSheet : public sheettest::SheetTest {};

TEST_F(ArchivePagesInTheSheet, AnExtractionWithoutPickingAFolderGoesToTheDesktop) {
  ASSERT_NE(start(), nullptr);
  welcome()->radio(core::kRunModeExtract)->click();
  ASSERT_TRUE(click(QWizard::NextButton));
  auto* pick = page_named<CPickZipFileName>("CPickZipFileName");
  EXPECT_EQ(button_row(), "BACK next CANCEL HELP");  // an empty name
  type_into(pick->findChild<QComboBox*>("comboZipFileName"), files().good);
  ASSERT_TRUE(QTest::qWaitFor([pick] { return !pick->check_pending(); }));
  EXPECT_EQ(button_row(), "BACK NEXT CANCEL HELP");
  pick->findChild<QAbstractButton*>("checkPickFolder")->setChecked(false);
  ASSERT_TRUE(click(QWizard::NextButton));
  EXPECT_EQ(sheet->currentId(), wizard::kPagePerforming);
  EXPECT_EQ(record.archive_path, files().good.toStdString());
  EXPECT_EQ(QString::fromStdString(record.destination_folder),
            QStandardPaths::writableLocation(QStandardPaths::DesktopLocation) + "/good/");
}

}  // namespace
