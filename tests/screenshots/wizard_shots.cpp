/* tests/screenshots/wizard_shots.cpp - pictures of the wizard sheet and its welcome page. */
#include <QApplication>
#include <QRadioButton>
#include <QTest>
#include <QToolTip>

#include "shot_registry.h"
#include "wizard/my_resize_prop_sheet.h"
#include "wizard/welcome_page.h"

PARVELL_SHOT(welcome_first_start, "The welcome page of a first start: Create New preselected, focus on it") {
  wizard::CMyResizePropSheet* sheet = ctx.start_wizard({});
  ctx.on_shown([sheet] {
    // Tab away and back, as a keyboard user would: the focus frame shows.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
  });
  return sheet;
}

PARVELL_SHOT(welcome_extract_monitoring, "The welcome page with Extract and monitoring chosen, the tip of the check box") {
  wizard::CMyResizePropSheet* sheet = ctx.start_wizard({});
  auto* welcome = qobject_cast<wizard::CWelcomePage*>(sheet->page(wizard::kPageWelcome));
  ctx.on_shown([welcome] {
    welcome->radio(2)->click();
    if (auto* monitor = welcome->findChild<QAbstractButton*>(QStringLiteral("checkMonitor"))) {
      monitor->click();
      QToolTip::showText(monitor->mapToGlobal(QPoint(0, monitor->height())), monitor->toolTip(),
                         monitor);
    }
  });
  return sheet;
}
