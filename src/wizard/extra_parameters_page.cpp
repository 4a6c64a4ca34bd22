/* wizard/extra_parameters_page.cpp - the extra-parameters page: options of the zip run and of the task. */
#include "wizard/extra_parameters_page.h"

namespace wizard {

CSetExtraParametersPg::CSetExtraParametersPg(core::OperationRecord& record, QWidget* parent)
    : CMyResizePropPage(kDialogId, QString::fromUtf8(kCaption), QString::fromUtf8(kHelpTopic), record, parent) {
  setObjectName(QStringLiteral("CSetExtraParametersPg"));
}

}  // namespace wizard
