/* wizard/pick_unzip_folder_page.cpp - the pick-folder page: names the extraction folder. */
#include "wizard/pick_unzip_folder_page.h"

namespace wizard {

CPickUnZipFolderName::CPickUnZipFolderName(core::OperationRecord& record, QWidget* parent)
    : CMyResizePropPage(kDialogId, QString::fromUtf8(kCaption), QString::fromUtf8(kHelpTopic), record, parent) {
  setObjectName(QStringLiteral("CPickUnZipFolderName"));
}

}  // namespace wizard
