/* wizard/pick_zip_file_page.cpp - the pick-archive page: names the ZIP archive of every operation. */
#include "wizard/pick_zip_file_page.h"

#include <QFileInfo>
#include <QStandardPaths>

#include "core/operation_record.h"
#include "wizard/page_flow.h"

namespace wizard {

CPickZipFileName::CPickZipFileName(core::OperationRecord& record, QWidget* parent)
    : CMyResizePropPage(kDialogId, QString::fromUtf8(kCaption), QString::fromUtf8(kHelpTopic), record, parent) {
  setObjectName(QStringLiteral("CPickZipFileName"));
}

QString CPickZipFileName::default_destination_folder() const {
  const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  return desktop + QLatin1Char('/') + QFileInfo(archive_name()).completeBaseName() + QLatin1Char('/');
}

void CPickZipFileName::set_archive_state(const QString& name, bool valid) {
  m_archive_name = name;
  m_archive_valid = valid;
  record().archive_path = name.toStdString();
  emit completeChanged();
}

FlowState CPickZipFileName::flow_state() const {
  FlowState state = CMyResizePropPage::flow_state();
  state.continue_to_folder = continue_to_folder();
  return state;
}

bool CPickZipFileName::validatePage() {
  if (!archive_valid()) return false;
  core::OperationRecord& r = record();
  if (r.run_mode == core::kRunModeExtract) {
    if (!continue_to_folder()) r.destination_folder = default_destination_folder().toStdString();
  } else {
    r.archive_path = archive_name().toStdString();
  }
  return true;
}

}  // namespace wizard
