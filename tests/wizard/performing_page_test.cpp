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

class PerformingPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
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
    EXPECT_TRUE(QTest::qWaitFor([&] { return page->completed(); }, 30000));
    return page;
  }
  QString text_of(const char* name) const {
    return m_sheet->findChild<QLabel*>(QString::fromLatin1(name))->text();
  }
  QAbstractButton* finish() const { return m_sheet->button(QWizard::FinishButton); }

  std::string m_base;
  core::OperationRecord m_record;
  tasklog::TaskLog m_log;
  std::unique_ptr<wizard::CMyResizePropSheet> m_sheet;
  std::unique_ptr<QSignalSpy> m_finished;
  QStringList m_opened, m_mailed;
};

TEST_F(PerformingPageTest, StopAsksAndOnlyYesStops) {
  for (const bool yes : {false, true}) {
    SCOPED_TRACE(yes ? "yes" : "no");
    SetUp();
    write_file_at(m_base + "/src/big.bin", pattern_bytes(2 << 20, 3), sample_time(3));
    std::filesystem::remove(m_record.archive_path);
    ModalAnswerer answers([yes](QWidget* modal) {
      answer_box(modal, yes ? QMessageBox::Yes : QMessageBox::No);
      return true;
    });
    // Stop is pressed when the total bar first moves, while the engine works.
    bool pressed = false;
    CTovanelExplWizCallBack* page = run_page([&](CTovanelExplWizCallBack& p) {
      auto* bar = p.findChild<QProgressBar*>("TotalProgress");
      QObject::connect(bar, &QProgressBar::valueChanged, &p, [&] {
        if (pressed) return;
        pressed = true;
        finish()->click();
      });
    });
    EXPECT_TRUE(pressed);
    EXPECT_EQ(answers.count, 1);
    EXPECT_EQ(page->result(), yes ? 9 : 0);
    EXPECT_EQ(text_of("PleaseWaitLine"), yes ? core::load_string(core::kIdsCompletedWithErrors)
                                             : core::load_string(core::kIdsCompletedOk));
    EXPECT_EQ(finish()->text(), "Done");
    if (yes) {
      EXPECT_FALSE(std::filesystem::exists(m_record.archive_path));
    }
    finish()->click();  // Done closes the sheet
    EXPECT_EQ(m_finished->count(), 1);
  }
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
