/* wizard/pick_zip_file_page.cpp - the pick-archive page: names the ZIP archive of every operation. */
#include "wizard/pick_zip_file_page.h"

namespace wizard {

CPickZipFileName::CPickZipFileName(core::OperationRecord& record, QWidget* parent)
    : CMyResizePropPage(kDialogId, QString::fromUtf8(kCaption), QString::fromUtf8(kHelpTopic), record, parent) {
  setObjectName(QStringLiteral("CPickZipFileName"));
}

}  // namespace wizard
