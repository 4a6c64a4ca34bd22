/* wizard/performing_page.cpp - the performing page: runs the operation and shows its progress. */
#include "wizard/performing_page.h"

namespace wizard {

CTovanelExplWizCallBack::CTovanelExplWizCallBack(QWidget* parent)
    : CMyResizePropPage(kDialogId, QString::fromUtf8(kCaption), QString::fromUtf8(kHelpTopic), parent) {
  setObjectName(QStringLiteral("CTovanelExplWizCallBack"));
}

}  // namespace wizard
