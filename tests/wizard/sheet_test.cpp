/* tests/wizard/sheet_test.cpp - the welcome page and the sheet as a user meets them.
 *
 * Risk: the remembered operation lost, or a damaged stored value taken as an
 * operation (3 would be a scheduled run); the chosen operation not standing
 * out; a mnemonic that does nothing; the About entry unreachable without a
 * system menu; a placement "corrected" onto the screen or not stored at
 * close; the name string hidden under a button.
 */
#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QRadioButton>
#include <QScreen>
#include <QTest>

#include "core/strings.h"
#include "sheet_driver.h"

namespace {

using W = QWizard;

class WelcomeSheet : public sheettest::SheetTest {
 protected:
  void activate() {
    sheet->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(sheet));
  }
  /// Alt+@p key as the keyboard gives it to the focused widget.
  void alt(Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key, Qt::AltModifier); }
  QAbstractButton* monitor() const { return welcome()->findChild<QAbstractButton*>(QStringLiteral("checkMonitor")); }
};

TEST_F(WelcomeSheet, FirstStartPreselectsCreateNewInTheLargeBoldFont) {
  start();
  EXPECT_EQ(record.run_mode, 0);
  const QRadioButton* chosen = welcome()->findChild<QRadioButton*>(QStringLiteral("radioCreateNew"));
  ASSERT_EQ(chosen, welcome()->radio(0));
  EXPECT_TRUE(chosen->isChecked());
  EXPECT_FALSE(monitor()->isChecked());
  welcome()->radio(1)->click();
  EXPECT_EQ(record.run_mode, 1);
  for (int mode = 0; mode < 3; ++mode) {
    const QFont font = welcome()->radio(mode)->font();
    EXPECT_EQ(font.bold(), mode == 1) << mode;
    EXPECT_EQ(font.pixelSize() == 18, mode == 1) << mode;
  }
  EXPECT_EQ(welcome()->radio(1)->font().family(), QStringLiteral("Arial"));
  EXPECT_EQ(monitor()->toolTip(), QString::fromUtf8(core::load_string(core::kIdsMonitorBalloonTip)));
}

TEST_F(WelcomeSheet, TheRememberedChoiceWinsAndDamagedValuesGiveCreateNew) {
  const struct {
    int stored_operation, stored_monitoring;
    const char* argument;
    int run_mode, monitoring;
  } rows[] = {{2, 1, "new", 2, 1}, {1, 0, "extract", 1, 0}, {3, 7, "update", 0, 0}, {-1, 1, "new", 0, 1}};
  for (const auto& row : rows) {
    store_int("Settings", "WizardOperationRdButon", row.stored_operation);
    store_int("Settings", "WizardTaskMonitoring", row.stored_monitoring);
    start({QString::fromLatin1(row.argument)});
    EXPECT_EQ(record.run_mode, row.run_mode) << row.stored_operation;
    EXPECT_EQ(record.monitoring, row.monitoring) << row.stored_monitoring;
    EXPECT_TRUE(welcome()->radio(row.run_mode)->isChecked());
    EXPECT_EQ(monitor()->isChecked(), row.monitoring == 1);
    finish_program();
  }
}

TEST_F(WelcomeSheet, ChoicesAreStoredAtTheEnd) {
  start();
  welcome()->radio(2)->click();
  monitor()->click();
  EXPECT_EQ(record.monitoring, 1);
  sheet->reject();
  finish_program();
  platform::SettingsStore store(false);
  EXPECT_EQ(store.read_int("Settings", "WizardOperationRdButon", -1), 2);
  EXPECT_EQ(store.read_int("Settings", "WizardTaskMonitoring", -1), 1);
}

TEST_F(WelcomeSheet, MnemonicsAndEscapeWorkFromTheKeyboard) {
  start();
  activate();
  // A mnemonic clicks its button a moment later (the button shows itself pressed first).
  alt(Qt::Key_E);
  EXPECT_TRUE(QTest::qWaitFor([&] { return record.run_mode == 2; }));
  EXPECT_TRUE(welcome()->radio(2)->isChecked());
  alt(Qt::Key_M);
  EXPECT_TRUE(QTest::qWaitFor([&] { return record.monitoring == 1; }));
  alt(Qt::Key_C);
  EXPECT_TRUE(QTest::qWaitFor([&] { return record.run_mode == 0; }));
  alt(Qt::Key_A);
  EXPECT_TRUE(QTest::qWaitFor([&] { return about_shown == 1; }));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  EXPECT_FALSE(sheet->isVisible());
  EXPECT_EQ(sheet->result(), QDialog::Rejected);
}

TEST_F(WelcomeSheet, TabFollowsTheVisualOrder) {
  start();
  activate();
  welcome()->radio(0)->setFocus(Qt::TabFocusReason);
  QStringList order;
  for (int i = 0; i < 10 && QApplication::focusWidget(); ++i) {
    order << QApplication::focusWidget()->objectName();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  // The page top to bottom (the three choices are one stop; the arrows move among them),
  // then the button row left to right without the disabled Back, and round again.
  EXPECT_EQ(order.join(' '), QStringLiteral("radioCreateNew checkMonitor aboutButton __qt__passive_wizardbutton1 "
                                            "qt_wizard_cancel __qt__passive_wizardbutton5 radioCreateNew checkMonitor "
                                            "aboutButton __qt__passive_wizardbutton1"));
  welcome()->radio(0)->setFocus(Qt::TabFocusReason);
  QTest::keyClick(welcome()->radio(0), Qt::Key_Down);
  EXPECT_TRUE(QTest::qWaitFor([&] { return record.run_mode == 1; }));
}

TEST_F(WelcomeSheet, AboutIsInTheContextMenuAndOnlyTheWelcomePageShowsItsButton) {
  start();
  auto* about = welcome()->findChild<QAction*>(QStringLiteral("actionAbout"));
  ASSERT_NE(about, nullptr);
  EXPECT_TRUE(welcome()->actions().contains(about));
  EXPECT_EQ(welcome()->contextMenuPolicy(), Qt::ActionsContextMenu);
  EXPECT_EQ(about->text(), QStringLiteral("&About Parvell 2.0 Wizard..."));
  about->trigger();
  EXPECT_EQ(button(W::CustomButton1)->text(), about->text());
  button(W::CustomButton1)->click();
  EXPECT_EQ(about_shown, 2);
  welcome()->radio(2)->click();
  click(W::NextButton);
  EXPECT_FALSE(button(W::CustomButton1)->isVisible());
}

// ---- placement -----------------------------------------------------------------------

TEST_F(WelcomeSheet, AStoredPlacementIsRestoredAsStoredEvenOffScreen) {
  for (const QRect& stored : {QRect(40, 30, 810, 590), QRect(-3000, 4000, 700, 500)}) {
    {
      platform::SettingsStore store(false);
      store.write_bytes("WizardPosData", "WindowPlacement",
                        QStringLiteral("%1 %2 %3 %4 0").arg(stored.x()).arg(stored.y()).arg(stored.width())
                            .arg(stored.height()).toLatin1());
    }
    start();
    EXPECT_EQ(QRect(sheet->pos(), sheet->size()), stored);
    finish_program();
  }
}

TEST_F(WelcomeSheet, WithoutAPlacementTheSheetIsCentredAndClosingStoresIt) {
  store_int("WizardPosData", "CurrentPageIndx", 4);
  start();
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  // Centred before the window manager adds its frame: off by no more than the frame.
  const QPoint off = sheet->frameGeometry().center() - screen.center();
  EXPECT_LE(std::abs(off.x()) + std::abs(off.y()), 8);
  sheet->move(70, 80);
  sheet->resize(760, 520);
  welcome()->radio(2)->click();
  click(W::NextButton);
  sheet->reject();
  EXPECT_EQ(sheet->active_page_at_close(), 1);
  platform::SettingsStore store(false);
  EXPECT_EQ(store.read_int("WizardPosData", "CurrentPageIndx", -1), 1);
  EXPECT_EQ(store.read_bytes("WizardPosData", "WindowPlacement"), QByteArray("70 80 760 520 0"));
}

// ---- the name string ---------------------------------------------------------------

TEST_F(WelcomeSheet, TheNameStringSitsInTheButtonBandClearOfEveryButton) {
  start();
  EXPECT_EQ(sheet->name_string(), QStringLiteral("PARVELL"));
  EXPECT_EQ(sheet->name_font().family(), QStringLiteral("Arial"));
  EXPECT_EQ(sheet->name_font().pointSize(), 10);
  for (int narrow : {0, 1}) {
    if (narrow) sheet->resize(sheet->minimumSize());  // as small as the user can make it
    QCoreApplication::processEvents();
    const QRect name = sheet->name_string_rect();
    EXPECT_EQ(name.left(), 24);
    const QAbstractButton* cancel = button(W::CancelButton);
    const QRect band(cancel->mapTo(sheet, QPoint(0, 0)), cancel->size());
    EXPECT_EQ(name.top(), band.top());
    EXPECT_EQ(name.height(), band.height());
    for (QAbstractButton* b : sheet->findChildren<QAbstractButton*>()) {
      if (b->isVisible() && b->window() == sheet) {
        EXPECT_FALSE(QRect(b->mapTo(sheet, QPoint(0, 0)), b->size()).intersects(name)) << b->text().toStdString();
      }
    }
  }
}

}  // namespace
