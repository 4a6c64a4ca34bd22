/* tests/wizard/page_flow_test.cpp - every move of the wizard, through its buttons.
 *
 * Risk: a page that leads to the wrong page for one combination of operation,
 * monitoring and check box; a Cancel of the add-files dialog or a No to the
 * delete question that moves on anyway; Finish on the extra-parameters page
 * closing the sheet instead of starting the run; Back going elsewhere than it
 * came from; a button shown or enabled where the user must not press it.
 * Each walk clicks the sheet's real buttons and checks the page reached and
 * the button row after every click.
 */
#include <QRadioButton>
#include <QStandardPaths>
#include <QTest>

#include "sheet_driver.h"
#include "wizard/performing_page.h"
#include "wizard/pick_unzip_folder_page.h"
#include "wizard/pick_zip_file_page.h"

namespace {

using W = QWizard;

// The button rows (enabled buttons in capitals).
const char kWelcomeRow[] = "ABOUT back NEXT CANCEL HELP";
const char kNextRow[] = "BACK NEXT CANCEL HELP";
const char kNextDisabledRow[] = "BACK next CANCEL HELP";
const char kFinishRow[] = "BACK FINISH CANCEL HELP";
const char kPerformingRow[] = "FINISH HELP";

struct Step {
  W::WizardButton press;
  int page;         ///< the page active afterwards
  const char* row;  ///< the button row afterwards
};

struct Walk {
  const char* name;
  int mode;
  bool monitoring;
  bool add_files_ok;
  bool archive_valid;
  bool to_folder;
  bool delete_after;
  bool answer_yes;
  std::vector<Step> steps;
};

const Walk kWalks[] = {
    {"CreateAddFilesCancelled", 0, false, false, true, true, false, true,
     {{W::NextButton, 131, kWelcomeRow}}},
    {"CreateFinishStartsTheRun", 0, false, true, true, true, false, true,
     {{W::NextButton, 140, kNextRow}, {W::NextButton, 138, kFinishRow}, {W::FinishButton, 301, kPerformingRow}}},
    {"AddWithMonitoringPassesTheTaskPage", 1, true, true, true, true, false, true,
     {{W::NextButton, 140, kNextRow}, {W::NextButton, 138, kNextRow}, {W::NextButton, 363, kFinishRow},
      {W::FinishButton, 301, kPerformingRow}}},
    {"ExtractToAPickedFolder", 2, false, true, true, true, false, true,
     {{W::NextButton, 140, kNextRow}, {W::NextButton, 134, kNextRow}, {W::NextButton, 301, kPerformingRow}}},
    {"ExtractToTheDefaultFolder", 2, true, true, true, false, false, true,
     {{W::NextButton, 140, kNextRow}, {W::NextButton, 301, kPerformingRow}}},
    {"ExtractArchiveNotValid", 2, false, true, false, true, false, true,
     {{W::NextButton, 140, kNextDisabledRow}, {W::NextButton, 140, kNextDisabledRow}}},
    {"DeleteQuestionYes", 0, false, true, true, true, true, true,
     {{W::NextButton, 140, kNextRow}, {W::NextButton, 138, kFinishRow}, {W::FinishButton, 301, kPerformingRow}}},
    {"DeleteQuestionNo", 0, false, true, true, true, true, false,
     {{W::NextButton, 140, kNextRow}, {W::NextButton, 138, kFinishRow}, {W::FinishButton, 138, kFinishRow}}},
    {"DeleteWarningYes", 1, true, true, true, true, true, true,
     {{W::NextButton, 140, kNextRow}, {W::NextButton, 138, kNextRow}, {W::NextButton, 363, kFinishRow}}},
    {"DeleteWarningNo", 1, true, true, true, true, true, false,
     {{W::NextButton, 140, kNextRow}, {W::NextButton, 138, kNextRow}, {W::NextButton, 138, kNextRow}}},
    {"BackFromTheFolderPage", 2, false, true, true, true, false, true,
     {{W::NextButton, 140, kNextRow}, {W::NextButton, 134, kNextRow}, {W::BackButton, 140, kNextRow},
      {W::BackButton, 131, kWelcomeRow}}},
    {"BackFromTheTaskPage", 0, true, true, true, true, false, true,
     {{W::NextButton, 140, kNextRow}, {W::NextButton, 138, kNextRow}, {W::NextButton, 363, kFinishRow},
      {W::BackButton, 138, kNextRow}, {W::BackButton, 140, kNextRow}, {W::BackButton, 131, kWelcomeRow}}},
};

void PrintTo(const Walk& walk, std::ostream* os) { *os << walk.name; }

class PageFlow : public sheettest::SheetTest, public ::testing::WithParamInterface<Walk> {};
class FlowMoves : public sheettest::SheetTest {};

TEST_P(PageFlow, EveryClickReachesItsPage) {
  const Walk& walk = GetParam();
  add_files_ok = walk.add_files_ok;
  answer_yes = walk.answer_yes;
  ASSERT_NE(start(), nullptr);
  ASSERT_EQ(sheet->currentId(), 131);
  EXPECT_EQ(button_row(), QString::fromLatin1(kWelcomeRow));

  // The user's choices on the welcome page; the later pages' controls as their checks leave them.
  welcome()->radio(walk.mode)->click();
  auto* monitor = welcome()->findChild<QAbstractButton*>(QStringLiteral("checkMonitor"));
  if (monitor->isChecked() != walk.monitoring) monitor->click();
  auto* pick = page_named<wizard::CPickZipFileName>("CPickZipFileName");
  pick->set_archive_state(QStringLiteral("/home/u/Docs.zip"), walk.archive_valid);
  pick->set_continue_to_folder(walk.to_folder);
  page_named<wizard::CPickUnZipFolderName>("CPickUnZipFolderName")->set_folder_text(QStringLiteral("/home/u/Out/"));
  record.delete_after = walk.delete_after ? 1 : 0;
  record.selected_items = {{0, "/home/u/Docs/a"}, {1, "/home/u/Docs/b"}};

  for (size_t i = 0; i < walk.steps.size(); ++i) {
    const Step& step = walk.steps[i];
    if (!click(step.press)) sheet->next();  // a button the user cannot press: the keyboard's Next must not pass either
    EXPECT_EQ(sheet->currentId(), step.page) << "step " << i;
    EXPECT_EQ(button_row(), QString::fromLatin1(step.row)) << "step " << i;
  }
  EXPECT_TRUE(sheet->isVisible());  // no Finish on the way closes the sheet
  EXPECT_EQ(record.run_mode, walk.mode);
  EXPECT_EQ(record.create_new, walk.mode == 0 ? 1 : 0);
  EXPECT_EQ(add_files_shown, walk.mode == 2 ? 0 : 1);
  if (walk.mode != 2) {
    EXPECT_EQ(folder_seen_by_dialog, "");  // emptied before the dialog fills it
  }
}

INSTANTIATE_TEST_SUITE_P(Walks, PageFlow, ::testing::ValuesIn(kWalks),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- what the moves write into the record, and the questions they ask ----------------

TEST_F(FlowMoves, TheFolderPageFollowsItsTextAndTakesItWithoutTheSlash) {
  start();
  auto* folder = page_named<wizard::CPickUnZipFolderName>("CPickUnZipFolderName");
  folder->set_folder_text(QString());
  page_named<wizard::CPickZipFileName>("CPickZipFileName")->set_archive_state(QStringLiteral("/a.zip"), true);
  welcome()->radio(2)->click();
  click(W::NextButton);
  click(W::NextButton);
  ASSERT_EQ(sheet->currentId(), 134);
  EXPECT_EQ(button_row(), QString::fromLatin1(kNextDisabledRow));
  folder->set_folder_text(QStringLiteral("/srv/out/"));
  EXPECT_EQ(button_row(), QString::fromLatin1(kNextRow));
  click(W::NextButton);
  EXPECT_EQ(record.destination_folder, "/srv/out");
}

TEST_F(FlowMoves, DeleteQuestionsNameTheSelectedItems) {
  start();
  page_named<wizard::CPickZipFileName>("CPickZipFileName")->set_archive_state(QStringLiteral("/a.zip"), true);
  record.delete_after = 1;
  record.selected_items = {{0, "/x/1"}, {1, "/x/2"}, {2, "/x/3"}};
  answer_yes = false;
  click(W::NextButton);
  click(W::NextButton);
  click(W::FinishButton);  // monitoring off: the plain question
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].icon, dialogs::BoxIcon::kQuestion);
  EXPECT_EQ(boxes[0].title, QStringLiteral("Warning!"));
  EXPECT_TRUE(boxes[0].text.startsWith(QStringLiteral("You have selected to delete 3 items.\n")));

  record.monitoring = 1;  // as if chosen on the welcome page: Next and the warning instead
  click(W::BackButton);
  click(W::NextButton);
  answer_yes = true;
  do_not_show_again = true;
  ASSERT_TRUE(click(W::NextButton));
  ASSERT_EQ(warnings.size(), 1);
  EXPECT_TRUE(warnings[0].startsWith(QStringLiteral("You have selected to delete 3 items.\n")));
  EXPECT_EQ(sheet->currentId(), 363);
  click(W::BackButton);
  click(W::NextButton);  // switched off for good: no warning, straight on
  EXPECT_EQ(warnings.size(), 1);
  EXPECT_EQ(sheet->currentId(), 363);
}

TEST_F(FlowMoves, ExtractionToTheDesktopRunsAndFinishClosesTheSheet) {
  start();
  auto* pick = page_named<wizard::CPickZipFileName>("CPickZipFileName");
  pick->set_archive_state(QStringLiteral("/nonexistent/Photos 2024.tar.zip"), true);
  welcome()->radio(2)->click();
  pick->set_continue_to_folder(false);
  click(W::NextButton);
  click(W::NextButton);
  ASSERT_EQ(sheet->currentId(), 301);
  EXPECT_EQ(record.archive_path, "/nonexistent/Photos 2024.tar.zip");
  EXPECT_EQ(QString::fromStdString(record.destination_folder),
            QStandardPaths::writableLocation(QStandardPaths::DesktopLocation) + "/Photos 2024.tar/");
  // The run starts by itself (here it finds no archive); Finish reads "Done" after it.
  auto* performing = page_named<wizard::CTovanelExplWizCallBack>("CTovanelExplWizCallBack");
  ASSERT_TRUE(QTest::qWaitFor([&] { return performing->completed(); }, 20000));
  EXPECT_EQ(button_row(), QString::fromLatin1(kPerformingRow));
  click(W::FinishButton);
  EXPECT_FALSE(sheet->isVisible());
  EXPECT_EQ(sheet->result(), QDialog::Accepted);
  EXPECT_EQ(sheet->active_page_at_close(), 5);
}

}  // namespace
