/* tests/screenshots/page_shots.cpp - one picture of each wizard page, the README's pictures.
 *
 * A shot page_<name> shows the page of id kPage<Name> (tests/package/
 * check_readme_pictures.py holds the README to one picture per page id;
 * scripts/readme_pictures takes them into docs/pictures/).  The pick-archive
 * page is reached as a user reaches it, by Next from the welcome page; the
 * others are opened directly, with the record filled as the pages before
 * them would have left it.
 */
#include <QAbstractButton>
#include <QFile>
#include <QRadioButton>
#include <QTest>
#include <functional>

#include "shot_registry.h"
#include "wizard/my_resize_prop_sheet.h"
#include "wizard/performing_page.h"
#include "wizard/resize_prop_page.h"
#include "wizard/welcome_page.h"

namespace {

using Fill = std::function<void(core::OperationRecord&, const std::string& scratch)>;

/// The wizard opened on @p page, the record filled by @p fill first.
wizard::CMyResizePropSheet* sheet_on(shots::ShotContext& ctx, int page, Fill fill = nullptr) {
  wizard::CMyResizePropSheet* sheet = ctx.start_wizard({});
  ctx.on_shown([&ctx, sheet, page, fill] {
    if (fill) fill(ctx.record(), ctx.scratch_folder().toStdString());
    sheet->setStartId(page);
    sheet->restart();
  });
  return sheet;
}

/// A zip run of one small file of the scratch folder into "pictures.zip" there.
void zip_run(core::OperationRecord& record, const std::string& scratch) {
  QFile file(QString::fromStdString(scratch + "/notes.txt"));
  if (file.open(QIODevice::WriteOnly)) file.write(QByteArray(4000, 'n'));
  record.run_mode = core::kRunModeCreate;
  record.archive_path = scratch + "/pictures.zip";
  record.originating_folder = scratch;
  record.file_list = "\"" + scratch + "/notes.txt\" ";
}

}  // namespace

PARVELL_SHOT(page_welcome, "The welcome page: the three operations and the scheduled-task choice") {
  return ctx.start_wizard({});
}

PARVELL_SHOT(page_pick_zip_file, "The archive page of an extraction, reached by Next from the welcome page") {
  wizard::CMyResizePropSheet* sheet = ctx.start_wizard({});
  auto* welcome = qobject_cast<wizard::CWelcomePage*>(sheet->page(wizard::kPageWelcome));
  ctx.on_shown([sheet, welcome] {
    welcome->radio(2)->click();
    sheet->button(QWizard::NextButton)->click();
  });
  return sheet;
}

PARVELL_SHOT(page_pick_unzip_folder, "The destination folder page of an extraction") {
  return sheet_on(ctx, wizard::kPagePickUnzipFolder, [](core::OperationRecord& record, const std::string& scratch) {
    record.run_mode = core::kRunModeExtract;
    record.archive_path = scratch + "/pictures.zip";
  });
}

PARVELL_SHOT(page_extra_parameters, "The extra parameters of a new archive") {
  return sheet_on(ctx, wizard::kPageExtraParameters, zip_run);
}

PARVELL_SHOT(page_scheduler, "The scheduled-task page of a new archive") {
  return sheet_on(ctx, wizard::kPageScheduler, [](core::OperationRecord& record, const std::string& scratch) {
    zip_run(record, scratch);
    record.monitoring = 1;
  });
}

PARVELL_SHOT(page_performing, "The performing page once a new archive is complete") {
  wizard::CMyResizePropSheet* sheet = ctx.start_wizard({});
  ctx.on_shown([&ctx, sheet] {
    zip_run(ctx.record(), ctx.scratch_folder().toStdString());
    sheet->setStartId(wizard::kPagePerforming);
    sheet->restart();
    auto* page = qobject_cast<wizard::CTovanelExplWizCallBack*>(sheet->page(wizard::kPagePerforming));
    if (page && !QTest::qWaitFor([page] { return page->completed(); }, 30000))
      qWarning("performing page: the run did not finish within 30 s; the picture shows it running");
  });
  return sheet;
}
