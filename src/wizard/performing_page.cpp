/* wizard/performing_page.cpp - the performing page: runs the operation and shows its progress. */
#include "wizard/performing_page.h"

namespace wizard {

CTovanelExplWizCallBack::CTovanelExplWizCallBack(core::OperationRecord& record, QWidget* parent)
    : CMyResizePropPage(kDialogId, QString::fromUtf8(kCaption), QString::fromUtf8(kHelpTopic), record, parent) {
  setObjectName(QStringLiteral("CTovanelExplWizCallBack"));
}

}  // namespace wizard
