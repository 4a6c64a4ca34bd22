/* wizard/scheduler_page.cpp - the task page: turns the operation into a scheduled task. */
#include "wizard/scheduler_page.h"

namespace wizard {

CParvellExplorerMorvaneSchedulerPage::CParvellExplorerMorvaneSchedulerPage(QWidget* parent)
    : CMyResizePropPage(kDialogId, QString::fromUtf8(kCaption), QString::fromUtf8(kHelpTopic), parent) {
  setObjectName(QStringLiteral("CParvellExplorerMorvaneSchedulerPage"));
}

}  // namespace wizard
