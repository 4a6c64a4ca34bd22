/* wizard/welcome_page.cpp - the welcome page: the operation and the monitoring choice. */
#include "wizard/welcome_page.h"

#include "app/operation_record.h"
#include "app/settings_store.h"

namespace wizard {
namespace {

const QString kSection = QStringLiteral("Settings");

}  // namespace

CWelcomePage::CWelcomePage(app::OperationRecord* record, QWidget* parent)
    : CMyResizePropPage(kDialogId, QString::fromUtf8(kCaption), QString::fromUtf8(kHelpTopic), parent),
      m_record(record ? record : &app::operation_record()) {
  setObjectName(QStringLiteral("CWelcomePage"));
  if (m_record->run_mode != app::kRunModeScheduled) {
    app::SettingsStore store(m_record);
    m_record->run_mode = store.read_int(kSection, kOperationValue, 0);
    m_record->monitoring = store.read_int(kSection, kMonitoringValue, 0);
  }
}

CWelcomePage::~CWelcomePage() {
  app::SettingsStore store(m_record);  // silent in a scheduled run
  store.write_int(kSection, kOperationValue, m_record->run_mode);
  store.write_int(kSection, kMonitoringValue, m_record->monitoring);
}

}  // namespace wizard
