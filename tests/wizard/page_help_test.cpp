/* tests/wizard/page_help_test.cpp - Help on every page, and what the user is told when opening fails.
 *
 * Risk: a page opening another page's topic; a missing help folder that
 * leaves Help dead instead of going online; a failed first try that never
 * gets its second; an xdg-open failure passed off as success, or shown with
 * the wrong text; help pages missing from the build tree.
 */
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QShortcut>
#include <QTest>
#include <QUrl>

#include "dialogs/about_box.h"
#include "dialogs/shell_open.h"
#include "sheet_driver.h"
#include "test_env.h"
#include "wizard/page_help.h"
#include "wizard/pick_unzip_folder_page.h"
#include "wizard/pick_zip_file_page.h"

namespace {

using W = QWizard;

const char* const kTopics[] = {"wizard_welcomepage.html",  "wizard_pickzipfile.html",     "wizard_pickunzipfile.html",
                               "wizard_addparampage.html", "wizard_createtaskpage.html", "wizard_operationpage.html"};

class PageHelp : public sheettest::SheetTest {
 protected:
  /// A help folder holding every topic.
  QString make_help_folder() {
    const QString folder = QString::fromStdString(testenv::make_temp_dir("help"));
    for (const char* topic : kTopics) {
      QFile page(folder + QLatin1Char('/') + QLatin1String(topic));
      EXPECT_TRUE(page.open(QIODevice::WriteOnly));
      page.write("<html></html>");
    }
    return folder;
  }
  /// Walks to the page @p id (monitoring on, extraction for the folder page).
  void go_to(int id) {
    welcome()->radio(id == 134 ? 2 : 0)->click();
    record.monitoring = 1;
    page_named<wizard::CPickZipFileName>("CPickZipFileName")->set_archive_state(QStringLiteral("/a.zip"), true);
    page_named<wizard::CPickUnZipFolderName>("CPickUnZipFolderName")->set_folder_text(QStringLiteral("/out"));
    for (int guard = 0; sheet->currentId() != id && guard < 6; ++guard) {
      if (!click(W::NextButton)) click(W::FinishButton);
    }
    ASSERT_EQ(sheet->currentId(), id);
  }
};

TEST_F(PageHelp, EachPageOpensItsOwnTopicFromTheHelpFolder) {
  const int pages[] = {131, 140, 134, 138, 363, 301};
  for (size_t i = 0; i < std::size(pages); ++i) {
    start();
    const QString folder = make_help_folder();
    sheet->set_help_folder(folder);
    go_to(pages[i]);
    opened.clear();
    click(W::HelpButton);
    for (QShortcut* key : sheet->findChildren<QShortcut*>()) {  // F1 as well
      if (key->key() == QKeySequence(QKeySequence::HelpContents)) emit key->activated();
    }
    const QString expected = "xdg-open " + QUrl::fromLocalFile(folder + '/' + kTopics[i]).toString();
    EXPECT_EQ(opened, QStringList({expected, expected})) << pages[i];
    finish_program();
  }
  EXPECT_TRUE(boxes.empty());
}

TEST_F(PageHelp, WithoutTheTopicTheOnlineHelpOpensAndAFailedTryIsTriedAgain) {
  {
    platform::SettingsStore store(false);
    store.write_string("Settings", "OnlineHelpAddress", "https://help.example.org/docs");
  }
  start();
  sheet->set_help_folder(QString());  // no help folder was found beside the program
  EXPECT_TRUE(sheet->show_help());
  EXPECT_EQ(opened, QStringList{"xdg-open https://help.example.org/docs/parvellwizard/wizard_welcomepage.html"});

  opened.clear();
  desktop_statuses = {3};  // "open" fails quietly; "explore" succeeds
  EXPECT_TRUE(sheet->show_help());
  EXPECT_EQ(opened.size(), 2);
  EXPECT_EQ(opened[0], opened[1]);
  EXPECT_TRUE(boxes.empty());

  desktop_statuses = {3, 4};  // both fail: one box, the last failure's text
  EXPECT_FALSE(sheet->show_help());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].icon, dialogs::BoxIcon::kStop);
  EXPECT_EQ(boxes[0].text, QStringLiteral("An unknown error number 4 occured."));
}

TEST_F(PageHelp, TheOnlineAddressHasItsDefaultAndItsSlash) {
  EXPECT_EQ(wizard::online_help_url(QString(), "t.html"),
            wizard::default_online_help_address() + QStringLiteral("parvellwizard/t.html"));
  EXPECT_EQ(wizard::online_help_url(QStringLiteral("http://h/x/"), "t.html"), QStringLiteral("http://h/x/parvellwizard/t.html"));
  // A topic never names a file outside the help folder.
  EXPECT_EQ(wizard::local_help_page(make_help_folder(), QStringLiteral("../wizard_welcomepage.html")), QString());
}

TEST_F(PageHelp, TheAboutBoxLinkOpensTheHelpContentsOfTheWizard) {
  start();
  const QString folder = make_help_folder();
  QFile index(folder + QStringLiteral("/index.html"));
  ASSERT_TRUE(index.open(QIODevice::WriteOnly));
  index.write("<html></html>");
  index.close();
  sheet->set_help_folder(folder);
  {
    dialogs::AboutBox box(sheet);
    auto* link = box.findChild<QLabel*>(QStringLiteral("helpLink"));
    ASSERT_NE(link, nullptr);
    ASSERT_TRUE(link->isEnabled());
    emit link->linkActivated(QStringLiteral("help"));
  }
  EXPECT_EQ(opened, QStringList{"xdg-open " + QUrl::fromLocalFile(folder + QStringLiteral("/index.html")).toString()});
  finish_program();
  // Once the program has ended, an about box has no help to open.
  dialogs::AboutBox orphan;
  EXPECT_FALSE(orphan.findChild<QLabel*>(QStringLiteral("helpLink"))->isEnabled());
}

TEST_F(PageHelp, EveryExitStatusOfXdgOpenShowsItsText) {
  const struct {
    int status;
    const char* text;  ///< nullptr: handed over, no box
  } rows[] = {
      {0, nullptr},
      {1, "An unknown error number 1 occured."},
      {2, "The specified file was not found."},
      {3, "There is no application associated with the given file name extension."},
      {4, "An unknown error number 4 occured."},
      {127, "An unknown error number 127 occured."},
      {platform::kDesktopOpenNotStarted, "There is no application associated with the given file name extension."},
  };
  for (const auto& row : rows) {
    boxes.clear();
    desktop_statuses = {row.status};
    const auto result = dialogs::shell_open(nullptr, QStringLiteral("open"), QStringLiteral("/home/u/a b.zip"));
    EXPECT_EQ(result == dialogs::ShellOpenResult::kDone, row.text == nullptr) << row.status;
    ASSERT_EQ(boxes.size(), row.text ? 1u : 0u) << row.status;
    if (row.text) {
      EXPECT_EQ(boxes[0].text, QString::fromUtf8(row.text));
    }
  }
  EXPECT_EQ(opened.last(), QStringLiteral("xdg-open /home/u/a b.zip"));
  EXPECT_EQ(dialogs::shell_failure_text(26), QStringLiteral("A sharing violation occurred."));
  EXPECT_EQ(dialogs::shell_failure_text(99), QStringLiteral("An unknown error number 99 occured."));
}

TEST(HelpPages, TheBuildTreeShipsEveryTopic) {
  const QString folder = QStringLiteral(OSTRANA_BIN_DIR "/help");
  for (const char* topic : kTopics) {
    QFile page(folder + QLatin1Char('/') + QLatin1String(topic));
    ASSERT_TRUE(page.open(QIODevice::ReadOnly)) << topic;
    const QByteArray html = page.readAll();
    EXPECT_TRUE(html.contains("<title>")) << topic;
    EXPECT_GT(html.size(), 1500) << topic;  // a page written for its topic, not a placeholder
  }
  EXPECT_TRUE(QFile::exists(folder + QStringLiteral("/index.html")));
}

}  // namespace
