/* wizard/welcome_page.cpp - the welcome page: the operation and the monitoring choice. */
#include "wizard/welcome_page.h"

#include "core/operation_record.h"
#include "platform/qt/settings_store.h"

namespace wizard {
namespace {

const QString kSection = QStringLiteral("Settings");

}  // namespace

CWelcomePage::CWelcomePage(core::OperationRecord& record, QWidget* parent)
    : CMyResizePropPage(kDialogId, QString::fromUtf8(kCaption), QString::fromUtf8(kHelpTopic), record, parent) {
  setObjectName(QStringLiteral("CWelcomePage"));
  if (!record.scheduled_start) {
    platform::SettingsStore store(false);
    record.run_mode = store.read_int(kSection, kOperationValue, 0);
    record.monitoring = store.read_int(kSection, kMonitoringValue, 0);
  }
}

CWelcomePage::~CWelcomePage() {
  platform::SettingsStore store(record().scheduled_start);  // silent in a scheduled run
  store.write_int(kSection, kOperationValue, record().run_mode);
  store.write_int(kSection, kMonitoringValue, record().monitoring);
}

}  // namespace wizard
