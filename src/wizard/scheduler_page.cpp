/* wizard/scheduler_page.cpp - the task page: turns the operation into a scheduled task. */
#include "wizard/scheduler_page.h"

namespace wizard {

CParvellExplorerMorvaneSchedulerPage::CParvellExplorerMorvaneSchedulerPage(core::OperationRecord& record, QWidget* parent)
    : CMyResizePropPage(kDialogId, QString::fromUtf8(kCaption), QString::fromUtf8(kHelpTopic), record, parent) {
  setObjectName(QStringLiteral("CParvellExplorerMorvaneSchedulerPage"));
}

}  // namespace wizard
