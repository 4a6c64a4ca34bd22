/* tests/wizard/performing_page_test.cpp - the performing page and its dialogs, driven as a person would.
 *
 * The page runs in a real sheet (offscreen) against the real engine; the
 * test clicks the buttons a person would click, found by objectName, and
 * answers the modal dialogs as they appear.  Risks: Stop that does not stop
 * or stops without asking, dialogs whose buttons give the wrong answer, a
 * declined password that runs anyway, links and the folder hand-over that
 * hand over the wrong path, a scheduled page that never closes.
 */
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWizard>
#include <filesystem>
#include <functional>

#include "../bridge/run_files.h"
#include "core/operation_record.h"
#include "core/strings.h"
#include "dialogs/message_boxes.h"
#include "log/task_log.h"
#include "test_env.h"
#include "wizard/my_resize_prop_sheet.h"
#include "wizard/performing_page.h"

namespace {

using bridgetest::pattern_bytes;
using bridgetest::sample_time;
using bridgetest::write_file_at;
using wizard::CTovanelExplWizCallBack;

/// Whenever a modal dialog is up, hands it to @p answer, which returns true once it has dealt with it.
class ModalAnswerer : public QObject {
 public:
  explicit ModalAnswerer(std::function<bool(QWidget*)> answer) : m_answer(std::move(answer)) {
    m_timer.setInterval(5);
    connect(&m_timer, &QTimer::timeout, this, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal && modal != m_ignore && qobject_cast<QWizard*>(modal) == nullptr) {  // the sheet is no question
        ++count;
        if (!m_answer(modal)) m_ignore = modal;
      }
    });
    m_timer.start();
  }
  int count = 0;

 private:
  std::function<bool(QWidget*)> m_answer;
  QTimer m_timer;
  QWidget* m_ignore = nullptr;
};

void answer_box(QWidget* modal, QMessageBox::StandardButton which) {
  auto* box = qobject_cast<QMessageBox*>(modal);
  ASSERT_NE(box, nullptr);
  box->button(which)->click();
}

/// Installs a presenter for the plain message boxes for as long as it lives.
class BoxAnswers {
 public:
  explicit BoxAnswers(std::function<int(const dialogs::BoxRequest&)> answer) {
    dialogs::set_box_presenter([answer](QWidget*, const dialogs::BoxRequest& r) { return answer(r); });
  }
  ~BoxAnswers() { dialogs::set_box_presenter(nullptr); }
};

/// The page alone in a sheet over a small source tree, with the desktop and mail stand-ins.
class PageHarness {
 public:
  PageHarness() { arrange(); }

  void arrange() {
    m_base = testenv::make_temp_dir("page");
    write_file_at(m_base + "/src/a.txt", pattern_bytes(3000, 1), sample_time(1));
    write_file_at(m_base + "/src/sub/b.bin", pattern_bytes(90000, 2), sample_time(2));
    m_record.reset();
    m_record.run_mode = core::kRunModeCreate;
    m_record.archive_path = m_base + "/out.zip";
    m_record.originating_folder = m_base + "/src";
    m_record.file_list = "\"" + m_base + "/src/*.*\" ";
  }

  /// Shows a sheet holding the page alone and waits until the run has ended.
  CTovanelExplWizCallBack* run_page(std::function<void(CTovanelExplWizCallBack&)> arrange = nullptr) {
    m_sheet = std::make_unique<wizard::CMyResizePropSheet>("t", "WizardPosData", 0, "", true);
    auto* page = new CTovanelExplWizCallBack(m_record, m_log);
    CTovanelExplWizCallBack::Services services;
    services.open_path = [this](const QString& p) { m_opened << p; };
    services.mail_file = [this](const QString& p) { m_mailed << p; };
    page->set_services(services);
    if (arrange) arrange(*page);
    m_sheet->add_page(page);
    m_finished = std::make_unique<QSignalSpy>(m_sheet.get(), &QDialog::finished);
    m_sheet->show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return page->completed(); }, 120000));
    return page;
  }
  QString text_of(const char* name) const {
    return m_sheet->findChild<QLabel*>(QString::fromLatin1(name))->text();
  }
  QAbstractButton* finish() const { return m_sheet->button(QWizard::FinishButton); }
  /// The item percent the page shows now.
  static int item_percent(const CTovanelExplWizCallBack& page) {
    return page.findChild<QLabel*>("ItemPercent")->text().trimmed().chopped(1).toInt();
  }
  /// Presses Stop (Finish) once, the first time @p when holds while the engine reports.
  void press_finish_when(CTovanelExplWizCallBack& page, std::function<bool()> when) {
    auto* poll = new QTimer(&page);  // runs inside the run's event pumping
    poll->setInterval(0);
    QObject::connect(poll, &QTimer::timeout, &page, [this, poll, when] {
      if (!when()) return;
      poll->stop();
      finish()->click();
    });
    poll->start();
  }

  std::string m_base;
  core::OperationRecord m_record;
  tasklog::TaskLog m_log;
  std::unique_ptr<wizard::CMyResizePropSheet> m_sheet;
  std::unique_ptr<QSignalSpy> m_finished;
  QStringList m_opened, m_mailed;
};

class PerformingPageTest : public ::testing::Test, public PageHarness {
 protected:
  void SetUp() override { arrange(); }
};

TEST_F(PerformingPageTest, StopAsksAndOnlyYesStops) {
  for (const bool yes : {false, true}) {
    SCOPED_TRACE(yes ? "yes" : "no");
    SetUp();
    write_file_at(m_base + "/src/big.bin", pattern_bytes(2 << 20, 3), sample_time(3));
    std::filesystem::remove(m_record.archive_path);
    std::vector<dialogs::BoxRequest> asked;
    BoxAnswers boxes([&](const dialogs::BoxRequest& r) {
      asked.push_back(r);
      return yes ? dialogs::kBoxYes : dialogs::kBoxNo;
    });
    // Stop is pressed when the total bar first moves, while the engine works.
    CTovanelExplWizCallBack* page = run_page([&](CTovanelExplWizCallBack& p) {
      press_finish_when(p, [&p] { return p.findChild<QProgressBar*>("TotalProgress")->value() > 0; });
    });
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].icon, dialogs::BoxIcon::kQuestion);
    EXPECT_EQ(asked[0].buttons, dialogs::BoxButtons::kYesNo);
    EXPECT_EQ(asked[0].title, "Warning!");
    EXPECT_EQ(asked[0].text, "Are you sure you would like to stop current operation?");
    EXPECT_EQ(page->result(), yes ? 9 : 0);
    EXPECT_EQ(text_of("PleaseWaitLine"), yes ? core::load_string(core::kIdsCompletedWithErrors)
                                             : core::load_string(core::kIdsCompletedOk));
    EXPECT_EQ(text_of("CounterLine").endsWith("Operation Stopped!"), yes);
    EXPECT_EQ(text_of("NoteLine").startsWith("Operation result 9: "), yes);
    EXPECT_EQ(finish()->text(), "Done");
    EXPECT_EQ(std::filesystem::exists(m_record.archive_path), !yes);
    finish()->click();  // Done closes the sheet and asks nothing more
    EXPECT_EQ(m_finished->count(), 1);
    EXPECT_EQ(asked.size(), 1u);
  }
}

// The old archive of "create new" survives a Stop in the middle of a single
// file far larger than any buffer: the engine stops inside the file.
TEST(LargeZip, StopDuringOneLargeFileLeavesTheOldArchiveAsItWas) {
  PageHarness h;
  write_file_at(h.m_base + "/src/huge.bin", pattern_bytes(300u << 20, 4), sample_time(4));
  h.m_record.create_new = 1;
  testenv::write_file(h.m_record.archive_path, pattern_bytes(777, 5));
  BoxAnswers boxes([](const dialogs::BoxRequest&) { return dialogs::kBoxYes; });
  int percent_at_end = -1;
  CTovanelExplWizCallBack* page = h.run_page([&](CTovanelExplWizCallBack& p) {
    h.press_finish_when(p, [&p] {
      const int now = PageHarness::item_percent(p);
      return p.findChild<QLabel*>("ItemName")->toolTip().endsWith("huge.bin") && now > 0 && now < 50;
    });
    QObject::connect(&p, &CTovanelExplWizCallBack::run_completed, &p,
                     [&] { percent_at_end = PageHarness::item_percent(p); });
  });
  EXPECT_EQ(page->result(), 9);
  EXPECT_GT(percent_at_end, 0);
  EXPECT_LT(percent_at_end, 100);  // the engine stopped inside the file, it did not read on to its end
  EXPECT_TRUE(testenv::read_file(h.m_record.archive_path) == pattern_bytes(777, 5)) << "the old archive changed";
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(h.m_base), std::filesystem::directory_iterator()), 2);
}

TEST_F(PerformingPageTest, LinksHandOverTheArchiveAndCloseTheSheet) {
  for (const char* link : {"OpenLink", "EmailLink"}) {
    SCOPED_TRACE(link);
    SetUp();
    run_page();
    auto* button = m_sheet->findChild<QPushButton*>(QString::fromLatin1(link));
    ASSERT_TRUE(button->isVisible());
    button->click();
    EXPECT_EQ(m_finished->count(), 1);
    const QStringList& handed = std::string(link) == "OpenLink" ? m_opened : m_mailed;
    EXPECT_EQ(handed.size(), 1);
    EXPECT_EQ(handed.value(handed.size() - 1), QString::fromStdString(m_record.archive_path));
    EXPECT_EQ(text_of("HintLine"), core::load_string(core::kIdsEmailOrOpen));
  }
}

TEST_F(PerformingPageTest, ExtractionAsksAboutExistingFilesAndHandsOverItsFolder) {
  run_page();
  const std::string dest = m_base + "/dest";
  write_file_at(dest + m_base + "/src/a.txt", pattern_bytes(5, 9), sample_time(9));
  m_record.run_mode = core::kRunModeExtract;
  m_record.destination_folder = dest;
  m_opened.clear();
  ModalAnswerer answers([](QWidget* modal) {
    EXPECT_EQ(modal->windowTitle(), "Parvell Ravarave Wizard - Replace/Overwrite file?");
    auto* rename = modal->findChild<QPushButton*>("RenameButton");
    EXPECT_FALSE(rename->isEnabled());  // until the box is changed
    modal->findChild<QLineEdit*>("RenameAs")->setText("fresh.txt");
    EXPECT_TRUE(rename->isEnabled());
    rename->click();
    return true;
  });
  CTovanelExplWizCallBack* page = run_page();
  EXPECT_EQ(page->result(), 0);
  EXPECT_EQ(answers.count, 1);
  EXPECT_EQ(testenv::read_file(dest + m_base + "/src/fresh.txt"), pattern_bytes(3000, 1));
  EXPECT_EQ(testenv::read_file(dest + m_base + "/src/a.txt"), pattern_bytes(5, 9));
  EXPECT_EQ(m_opened, QStringList{QString::fromStdString(dest)});
  EXPECT_FALSE(m_sheet->findChild<QPushButton*>("OpenLink")->isVisible());
}

TEST_F(PerformingPageTest, RefusedPasswordClosesWithoutRunning) {
  int step = 0;
  ModalAnswerer answers([&step](QWidget* modal) {
    ++step;
    if (step <= 2) {  // the password dialog, OK on an empty box twice, then Cancel
      EXPECT_EQ(modal->windowTitle(), "Password Required...");
      EXPECT_EQ(modal->findChild<QLineEdit*>("PasswordEdit")->echoMode(), QLineEdit::Password);
      auto* box = modal->findChild<QDialogButtonBox*>("PasswordButtons");
      (step == 1 ? box->button(QDialogButtonBox::Ok) : box->button(QDialogButtonBox::Cancel))->click();
      return true;
    }
    answer_box(modal, QMessageBox::No);  // "continue without a password?"
    return true;
  });
  m_record.run_mode = core::kRunModeExtract;
  m_record.destination_folder = m_base + "/never";
  CTovanelExplWizCallBack* page = run_page([](CTovanelExplWizCallBack& p) {
    CTovanelExplWizCallBack::Services s;
    s.run_seams.has_encrypted_items = [](const std::string&) { return true; };
    p.set_services(s);
  });
  EXPECT_TRUE(QTest::qWaitFor([&] { return m_finished->count() == 1; }, 5000));
  EXPECT_EQ(step, 3);
  EXPECT_EQ(page->result(), run::OperationRun::kNotRun);
  EXPECT_FALSE(std::filesystem::exists(m_base + "/never"));
}

TEST_F(PerformingPageTest, ScheduledPageClosesByItselfAfterTheOutcome) {
  m_record.run_mode = core::kRunModeScheduled;
  m_record.stored_operation = core::kRunModeCreate;
  m_record.scheduled_start = true;
  CTovanelExplWizCallBack* page = run_page();
  EXPECT_EQ(page->result(), 0);
  EXPECT_EQ(text_of("MonitoringStatus"), core::load_string(core::kIdsMonitoringAutomatic));
  EXPECT_EQ(m_finished->count(), 0);
  EXPECT_TRUE(m_finished->wait(run::OperationRun::kScheduledCloseMs + 3000));
}

}  // namespace
