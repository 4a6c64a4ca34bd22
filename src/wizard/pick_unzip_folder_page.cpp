/* wizard/pick_unzip_folder_page.cpp - the pick-folder page: names the extraction folder. */
#include "wizard/pick_unzip_folder_page.h"

#include "core/operation_record.h"

namespace wizard {

CPickUnZipFolderName::CPickUnZipFolderName(core::OperationRecord& record, QWidget* parent)
    : CMyResizePropPage(kDialogId, QString::fromUtf8(kCaption), QString::fromUtf8(kHelpTopic), record, parent) {
  setObjectName(QStringLiteral("CPickUnZipFolderName"));
}

QString CPickUnZipFolderName::folder() const {
  QString text = m_folder_text;
  if (text.endsWith(QLatin1Char('/')) || text.endsWith(QLatin1Char('\\'))) text.chop(1);
  return text;
}

void CPickUnZipFolderName::set_folder_text(const QString& text) {
  m_folder_text = text;
  emit completeChanged();
}

bool CPickUnZipFolderName::validatePage() {
  if (!folder_valid()) return false;
  record().destination_folder = folder().toStdString();
  return true;
}

}  // namespace wizard
