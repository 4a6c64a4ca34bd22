/* wizard/extra_parameters_page.cpp - the extra-parameters page: options of the zip run and of the task. */
#include "wizard/extra_parameters_page.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/operation_record.h"
#include "core/strings.h"
#include "dialogs/file_filters.h"
#include "dialogs/message_boxes.h"
#include "dialogs/program_icons.h"
#include "dialogs/ui_text.h"
#include "dialogs/warn_message_box.h"
#include "platform/qt/settings_store.h"

namespace wizard {
namespace {

const QString kSection = QStringLiteral("Settings");
constexpr int kIconSize = 32;

/// The remembered integer options and the record fields they fill.
struct Remembered {
  const char* value_name;
  int32_t core::OperationRecord::*field;
};
constexpr Remembered kRemembered[] = {
    {"UseFasterCompression", &core::OperationRecord::faster_compression},
    {"DeleteFilesAfterZIP", &core::OperationRecord::delete_after},
    {"MorvanePreventTampering", &core::OperationRecord::prevent_tampering},
    {"Morvane_AllowLog", &core::OperationRecord::log_enabled},
};
const QString kLogFileNameValue = QStringLiteral("Morvane_LogFileName");

/// A tip of the string table as a tool tip takes it (its lines end in CR LF).
QString tip(int id) { return dialogs::load_qstring(id).replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }

QIcon monitoring_icon() {
  return QIcon::fromTheme(QStringLiteral("appointment-soon"), dialogs::program_icon(QStringLiteral("monitoring")));
}

QString default_browser(QWidget* parent, const QString& caption, const QString& folder, const QStringList& filters) {
  QFileDialog dialog(parent, caption, folder);
  dialog.setObjectName(QStringLiteral("logFileDialog"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);  // each run writes a log of its own beside the name
  dialog.setNameFilters(filters);
  dialog.setDefaultSuffix(QStringLiteral("log.html"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().first();
}

QCheckBox* option_box(const char* text, const char* object_name, int tip_id, QWidget* parent) {
  auto* box = new QCheckBox(QString::fromLatin1(text), parent);
  box->setObjectName(QString::fromLatin1(object_name));
  box->setToolTip(tip(tip_id));
  return box;
}

}  // namespace

CSetExtraParametersPg::CSetExtraParametersPg(core::OperationRecord& record, QWidget* parent)
    : CMyResizePropPage(kDialogId, QString::fromUtf8(kCaption), QString::fromUtf8(kHelpTopic), record, parent),
      m_browser(default_browser) {
  setObjectName(QStringLiteral("CSetExtraParametersPg"));
  if (!record.scheduled_start) {
    const platform::SettingsStore store(false);
    for (const Remembered& value : kRemembered) {
      record.*value.field = store.read_int(kSection, QString::fromLatin1(value.value_name), 0) == 1 ? 1 : 0;
    }
    record.log_file_name =
        store.read_string(kSection, kLogFileNameValue, QString::fromLatin1(kDefaultLogFileName)).toStdString();
  }

  auto* header = new QLabel(QStringLiteral("You may Set Additional Parameter for current ZIP Operation."), this);
  header->setObjectName(QStringLiteral("headerLine"));
  QFont bold = header->font();
  bold.setBold(true);
  header->setFont(bold);
  auto* finish_line = new QLabel(QStringLiteral("Pres Finish when done to finalize your ZIP operation."), this);
  finish_line->setObjectName(QStringLiteral("finishLine"));

  auto* zip_group = new QGroupBox(QStringLiteral("Additional ZIP Parameters"), this);
  zip_group->setObjectName(QStringLiteral("groupZipParameters"));
  m_faster = option_box("&Faster Compression (slightly bigger archive)", "checkFasterCompression",
                        core::kIdsFasterCompressionTip, zip_group);
  m_delete = option_box("&Delete files after Zipping", "checkDeleteAfter", core::kIdsDeleteAfterTip, zip_group);
  auto* zip_layout = new QVBoxLayout(zip_group);
  zip_layout->addWidget(m_faster);
  zip_layout->addWidget(m_delete);

  m_monitoring = new QGroupBox(QStringLiteral("Additional Morvane &Monitoring Features"), this);
  m_monitoring->setObjectName(QStringLiteral("groupMonitoring"));
  m_monitoring_icon = new QLabel(m_monitoring);
  m_monitoring_icon->setObjectName(QStringLiteral("monitoringIcon"));
  m_monitoring_icon->setFixedSize(kIconSize, kIconSize);
  m_tampering = option_box("&Prevent Morvane Info Tampering", "checkPreventTampering", core::kIdsPreventTamperingTip,
                           m_monitoring);
  m_log = option_box("&Log Morvane Results Using HTML File:", "checkAllowLog", core::kIdsAllowLogTip, m_monitoring);
  m_log_name = new QLineEdit(m_monitoring);
  m_log_name->setObjectName(QStringLiteral("editLogFileName"));
  m_log_name->setToolTip(tip(core::kIdsLogFileNameTip));
  m_browse = new QPushButton(QStringLiteral("&Browse"), m_monitoring);
  m_browse->setObjectName(QStringLiteral("buttonBrowseLog"));
  m_browse->setToolTip(tip(core::kIdsLogBrowseTip));
  m_browse->setAutoDefault(false);

  auto* log_row = new QHBoxLayout;
  log_row->setContentsMargins(20, 0, 0, 0);  // under the check box's text
  log_row->addWidget(m_log_name, 1);
  log_row->addWidget(m_browse);
  auto* options = new QVBoxLayout;
  options->addWidget(m_tampering);
  options->addWidget(m_log);
  options->addLayout(log_row);
  auto* monitoring_layout = new QHBoxLayout(m_monitoring);
  monitoring_layout->addWidget(m_monitoring_icon, 0, Qt::AlignTop);
  monitoring_layout->addSpacing(8);
  monitoring_layout->addLayout(options, 1);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(header);
  layout->addWidget(finish_line);
  layout->addSpacing(8);
  layout->addWidget(zip_group);
  layout->addWidget(m_monitoring);
  layout->addStretch(1);

  // Each control writes its field at once.
  auto writes = [this](QCheckBox* box, int32_t core::OperationRecord::*field) {
    connect(box, &QCheckBox::toggled, this, [this, field](bool on) { this->record().*field = on ? 1 : 0; });
  };
  writes(m_faster, &core::OperationRecord::faster_compression);
  writes(m_delete, &core::OperationRecord::delete_after);
  writes(m_tampering, &core::OperationRecord::prevent_tampering);
  writes(m_log, &core::OperationRecord::log_enabled);
  connect(m_log, &QCheckBox::toggled, this, &CSetExtraParametersPg::update_enabled);
  connect(m_log_name, &QLineEdit::textChanged, this,
          [this](const QString& text) { this->record().log_file_name = text.toStdString(); });
  connect(m_browse, &QPushButton::clicked, this, &CSetExtraParametersPg::browse_log_file);

  show_record();
  update_enabled();
}

CSetExtraParametersPg::~CSetExtraParametersPg() {
  const core::OperationRecord& r = record();
  platform::SettingsStore store(r.scheduled_start);  // silent in a scheduled run
  for (const Remembered& value : kRemembered) store.write_int(kSection, QString::fromLatin1(value.value_name), r.*value.field);
  store.write_string(kSection, kLogFileNameValue, QString::fromStdString(r.log_file_name));
}

void CSetExtraParametersPg::set_log_file_browser(LogFileBrowser browser) {
  m_browser = browser ? std::move(browser) : LogFileBrowser(default_browser);
}

QString CSetExtraParametersPg::browse_start_folder(const QString& log_file_name) {
  const QString name = log_file_name.trimmed();
  if (name.contains(QLatin1Char('/'))) {
    const QFileInfo info(name == QLatin1String("~") || name.startsWith(QLatin1String("~/"))
                             ? QDir::homePath() + name.mid(1)
                             : name);
    if (info.absoluteDir().exists()) return info.absolutePath();
  }
  return QDir::homePath();  // a bare name is written where a run starts: the home folder
}

void CSetExtraParametersPg::show_record() {
  const core::OperationRecord& r = record();
  m_faster->setChecked(r.faster_compression != 0);
  m_delete->setChecked(r.delete_after != 0);
  m_tampering->setChecked(r.prevent_tampering != 0);
  m_log->setChecked(r.log_enabled != 0);
  const QString name = QString::fromStdString(r.log_file_name);
  if (m_log_name->text() != name) m_log_name->setText(name);
}

void CSetExtraParametersPg::update_enabled() {
  // Without monitoring there is no task: its options wait, unchanged, greyed.
  const bool monitoring = record().monitoring != 0;
  m_monitoring->setEnabled(monitoring);
  m_tampering->setEnabled(monitoring);
  m_log->setEnabled(monitoring);
  m_log_name->setEnabled(monitoring && m_log->isChecked());
  m_browse->setEnabled(monitoring && m_log->isChecked());
  m_monitoring_icon->setPixmap(
      monitoring_icon().pixmap(kIconSize, kIconSize, monitoring ? QIcon::Normal : QIcon::Disabled));
}

void CSetExtraParametersPg::browse_log_file() {
  const QString caption = QStringLiteral("Log Morvane Results Using HTML File");
  const QString chosen = m_browser(this, caption, browse_start_folder(m_log_name->text()),
                                   dialogs::name_filters_from_pipe_list(QString::fromLatin1(kLogFilter)));
  if (!chosen.isEmpty()) m_log_name->setText(chosen);  // and so into the record
}

void CSetExtraParametersPg::on_set_active() {
  show_record();
  update_enabled();
}

bool CSetExtraParametersPg::validatePage() {
  const core::OperationRecord& r = record();
  if (!r.delete_after) return true;
  const int items = static_cast<int>(r.selected_items.size());
  if (!r.monitoring) {
    return dialogs::ask_yes_no(this, dialogs::load_qstring(core::kIdsWarningTitle),
                               dialogs::format_qstring(core::kIdsDeleteQuestion, items));
  }
  platform::SettingsStore settings(r.scheduled_start);
  dialogs::CWarnMessageBoxOnOff warning(core::kIdsWarningTitle, core::kIdsDeleteWarning,
                                        QString::fromLatin1(kDeleteWarningValue), this, QString::number(items));
  return warning.exec(settings) == dialogs::CWarnMessageBoxOnOff::kAnswerYes;
}

}  // namespace wizard
