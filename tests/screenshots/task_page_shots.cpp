/* tests/screenshots/task_page_shots.cpp - pictures of the task page in its states. */
#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QToolTip>

#include "dialogs/warn_message_box.h"
#include "platform/crontab.h"
#include "shot_registry.h"
#include "wizard/my_resize_prop_sheet.h"
#include "wizard/pick_zip_file_page.h"
#include "wizard/scheduler_page.h"
#include "wizard/welcome_page.h"

namespace {

using Page = wizard::CParvellExplorerMorvaneSchedulerPage;

/// A crontab that keeps nothing and refuses every new table, as crontab does a malformed one.
class RefusingCrontab final : public platform::CrontabService {
 public:
  platform::CrontabResult read_table(const std::string&, std::string* table_ret) override {
    table_ret->clear();
    return {};
  }
  platform::CrontabResult write_table(const std::string&, const std::string&) override {
    return {platform::CrontabStatus::kRefused, "\"-\":3: bad minute\nerrors in crontab file, can't install."};
  }
};

/// Starts the wizard; once shown, walks to the task page as a user adding to
/// "Night Docs.zip" with monitoring would.  @return the sheet.
wizard::CMyResizePropSheet* task_page_sheet(shots::ShotContext& ctx, std::function<void(Page*)> then) {
  wizard::CMyResizePropSheet* sheet = ctx.start_wizard({});
  auto* welcome = qobject_cast<wizard::CWelcomePage*>(sheet->page(wizard::kPageWelcome));
  const std::string folder = ctx.scratch_folder().toStdString();
  welcome->set_add_files_hook([folder](QWidget*, core::OperationRecord& r) {
    r.originating_folder = folder;
    return true;
  });
  ctx.on_shown([sheet, welcome, then] {
    welcome->radio(core::kRunModeAdd)->click();
    welcome->findChild<QAbstractButton*>(QStringLiteral("checkMonitor"))->click();
    qobject_cast<wizard::CPickZipFileName*>(sheet->page(wizard::kPagePickZipFile))
        ->set_archive_state(QStringLiteral("/home/u/Night Docs.zip"), true);
    for (int i = 0; i < 3; ++i) sheet->next();
    if (then) then(qobject_cast<Page*>(sheet->page(wizard::kPageScheduler)));
  });
  return sheet;
}

}  // namespace

PARVELL_SHOT(task_page, "The task page with its starting values, the focus in the task name") {
  return task_page_sheet(ctx, nullptr);
}

PARVELL_SHOT(task_page_monthly_no_end, "The task page: Monthly, no ending date, the tip of the task name") {
  return task_page_sheet(ctx, [](Page* page) {
    page->findChild<QListWidget*>(QStringLiteral("listFrequency"))->setCurrentRow(3);
    page->findChild<QCheckBox*>(QStringLiteral("checkEndDate"))->click();
    auto* name = page->findChild<QLineEdit*>(QStringLiteral("editTaskName"));
    QToolTip::showText(name->mapToGlobal(QPoint(0, name->height())), name->toolTip(), name);
  });
}

PARVELL_SHOT(task_page_not_scheduled, "The task page after crontab refused the task: the reason below the controls") {
  auto crontab = std::make_shared<RefusingCrontab>();
  ctx.keep(crontab);
  return task_page_sheet(ctx, [crontab](Page* page) {
    platform::set_crontab_service(crontab.get());
    page->set_wait(nullptr);
    // The question after the failure is answered Yes: back to the page.
    dialogs::CWarnMessageBoxOnOff::set_presenter(
        [](QWidget*, const QString&, const QString&) { return dialogs::CWarnMessageBoxOnOff::Reply{true, false}; });
    page->sheet()->button(QWizard::FinishButton)->click();
    dialogs::CWarnMessageBoxOnOff::set_presenter(nullptr);
    platform::set_crontab_service(nullptr);
  });
}
