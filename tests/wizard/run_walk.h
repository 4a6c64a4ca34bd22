/* tests/wizard/run_walk.h - leads the real wizard from its welcome page into the run.
 *
 * Used by the end-to-end tests and by the pictures of the performing page.
 * The walk clicks what a user clicks: the operation's radio button, Next,
 * and Next or Finish on the later pages.  Where a page's control is not
 * there yet, its outcome is set through the page's own state instead: the
 * add-files dialog is answered through the welcome page's hook (it selects a
 * whole folder), the archive name through the pick-archive page's check, the
 * extraction folder through the pick-folder page's text and faster
 * compression in the record when the parameters page is reached.
 */
#pragma once

#include <QAbstractButton>
#include <QRadioButton>
#include <QString>

#include "core/operation_record.h"
#include "wizard/my_resize_prop_sheet.h"
#include "wizard/performing_page.h"
#include "wizard/pick_unzip_folder_page.h"
#include "wizard/pick_zip_file_page.h"
#include "wizard/welcome_page.h"

namespace runwalk {

/// What the user chooses on the way.
struct Choice {
  int mode = core::kRunModeCreate;  ///< create, add or extract
  QString archive;                  ///< the archive's path
  QString source_folder;            ///< create and add: the folder selected whole
  QString destination;              ///< extract: the folder picked; empty: the default folder
  bool faster = false;              ///< faster compression (level 3 instead of 7)
};

/// Clicks through the shown @p sheet.  @return the performing page once it is
/// current (its run then starts by itself), or nullptr where the walk stopped.
inline wizard::CTovanelExplWizCallBack* walk_to_run(wizard::CMyResizePropSheet& sheet,
                                                    core::OperationRecord& record, const Choice& choice) {
  auto* welcome = sheet.findChild<wizard::CWelcomePage*>(QStringLiteral("CWelcomePage"));
  auto* pick = sheet.findChild<wizard::CPickZipFileName*>(QStringLiteral("CPickZipFileName"));
  auto* folder = sheet.findChild<wizard::CPickUnZipFolderName*>(QStringLiteral("CPickUnZipFolderName"));
  if (welcome == nullptr || pick == nullptr || folder == nullptr) return nullptr;
  const std::string source = choice.source_folder.toStdString();
  welcome->set_add_files_hook([source](QWidget*, core::OperationRecord& r) {
    r.originating_folder = source;
    r.file_list = "\"" + source + "/*.*\" ";
    r.selected_items = {{0, source}};
    return true;
  });
  welcome->radio(choice.mode)->click();
  pick->set_archive_state(choice.archive, true);
  pick->set_continue_to_folder(!choice.destination.isEmpty());
  folder->set_folder_text(choice.destination);

  for (int step = 0; step < 8 && sheet.currentId() != wizard::kPagePerforming; ++step) {
    if (sheet.currentId() == wizard::kPageExtraParameters) record.faster_compression = choice.faster ? 1 : 0;
    QAbstractButton* next = sheet.button(QWizard::NextButton);
    QAbstractButton* finish = sheet.button(QWizard::FinishButton);
    QAbstractButton* press = next->isVisible() && next->isEnabled() ? next : finish;
    if (!press->isVisible() || !press->isEnabled()) return nullptr;
    const int before = sheet.currentId();
    press->click();
    if (sheet.currentId() == before) return nullptr;  // a page refused to be left
  }
  return sheet.findChild<wizard::CTovanelExplWizCallBack*>(QStringLiteral("CTovanelExplWizCallBack"));
}

}  // namespace runwalk
