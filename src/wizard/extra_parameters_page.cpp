/* wizard/extra_parameters_page.cpp - the extra-parameters page: options of the zip run and of the task. */
#include "wizard/extra_parameters_page.h"

#include "core/operation_record.h"
#include "core/strings.h"
#include "dialogs/message_boxes.h"
#include "dialogs/ui_text.h"
#include "dialogs/warn_message_box.h"
#include "platform/qt/settings_store.h"

namespace wizard {

CSetExtraParametersPg::CSetExtraParametersPg(core::OperationRecord& record, QWidget* parent)
    : CMyResizePropPage(kDialogId, QString::fromUtf8(kCaption), QString::fromUtf8(kHelpTopic), record, parent) {
  setObjectName(QStringLiteral("CSetExtraParametersPg"));
}

bool CSetExtraParametersPg::validatePage() {
  const core::OperationRecord& r = record();
  if (!r.delete_after) return true;
  const int items = static_cast<int>(r.selected_items.size());
  if (!r.monitoring) {
    return dialogs::ask_yes_no(this, dialogs::load_qstring(core::kIdsWarningTitle),
                               dialogs::format_qstring(core::kIdsDeleteQuestion, items));
  }
  platform::SettingsStore settings(r.scheduled_start);
  dialogs::CWarnMessageBoxOnOff warning(core::kIdsWarningTitle, core::kIdsDeleteWarning,
                                        QString::fromLatin1(kDeleteWarningValue), this, QString::number(items));
  return warning.exec(settings) == dialogs::CWarnMessageBoxOnOff::kAnswerYes;
}

}  // namespace wizard
