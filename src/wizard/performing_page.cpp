/* wizard/performing_page.cpp - the performing page: runs the operation and shows its progress. */
#include "wizard/performing_page.h"

#include <QAbstractButton>
#include <algorithm>
#include <QCoreApplication>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QWizard>

#include "core/operation_record.h"
#include "core/strings.h"
#include "dialogs/message_boxes.h"
#include "dialogs/ui_text.h"
#include "dialogs/warn_message_box.h"
#include "platform/qt/settings_store.h"
#include "wizard/overwrite_dialog.h"
#include "wizard/password_dialog.h"

namespace wizard {
namespace {

QLabel* make_label(QWidget* parent, const char* object_name, const QString& text = QString()) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(object_name));
  label->setWordWrap(true);
  return label;
}

void set_bold(QLabel* label, bool bold) {
  QFont font = label->font();
  font.setBold(bold);
  label->setFont(font);
}

QString percent_text(int percent) { return QString::asprintf("%3d%%", percent); }

}  // namespace

CTovanelExplWizCallBack::CTovanelExplWizCallBack(core::OperationRecord& record, tasklog::TaskLog& log,
                                                 QWidget* parent)
    : CMyResizePropPage(kDialogId, QString::fromUtf8(kCaption), QString::fromUtf8(kHelpTopic), record, parent),
      m_log(log) {
  setObjectName(QStringLiteral("CTovanelExplWizCallBack"));
  m_title = make_label(this, "OperationTitle");
  set_bold(m_title, true);
  m_wait = make_label(this, "PleaseWaitLine");
  m_monitoring = make_label(this, "MonitoringStatus", QStringLiteral("Monitoring Status:!"));
  m_label = make_label(this, "ItemLabel", QStringLiteral("Preparing..."));
  m_label->setWordWrap(false);
  m_item_name = make_label(this, "ItemName");
  m_item_name->setWordWrap(false);
  m_item_name->setTextFormat(Qt::PlainText);
  m_item_name->setMinimumWidth(120);
  m_item_name->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  m_item_percent = make_label(this, "ItemPercent", QStringLiteral("0%"));
  m_total_percent = make_label(this, "TotalPercent", QStringLiteral("0%"));
  m_total_bar = new QProgressBar(this);
  m_total_bar->setObjectName(QStringLiteral("TotalProgress"));
  m_total_bar->setRange(0, 100);
  m_total_bar->setValue(0);
  m_total_bar->setTextVisible(false);
  m_counter = make_label(this, "CounterLine");
  m_note = make_label(this, "NoteLine");
  m_hint = make_label(this, "HintLine");
  m_email = new QPushButton(QStringLiteral("&Email"), this);
  m_email->setObjectName(QStringLiteral("EmailLink"));
  m_open = new QPushButton(QStringLiteral("&Open"), this);
  m_open->setObjectName(QStringLiteral("OpenLink"));
  for (QPushButton* link : {m_email, m_open}) {
    link->setFlat(true);
    link->setCursor(Qt::PointingHandCursor);
    link->setAutoDefault(false);
    link->hide();
  }

  auto* group = new QGroupBox(QStringLiteral("Total Progress"), this);
  group->setObjectName(QStringLiteral("TotalProgressGroup"));
  auto* bar_row = new QHBoxLayout(group);
  bar_row->addWidget(m_total_bar, 1);
  bar_row->addWidget(m_total_percent);

  auto* item_row = new QHBoxLayout;
  item_row->addWidget(m_label);
  item_row->addWidget(m_item_name, 1);
  item_row->addWidget(m_item_percent);
  auto* links = new QHBoxLayout;
  links->addWidget(m_email);
  links->addWidget(m_open);
  links->addStretch(1);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_title);
  layout->addWidget(m_wait);
  layout->addWidget(m_monitoring);
  layout->addSpacing(8);
  layout->addLayout(item_row);
  layout->addWidget(group);
  layout->addWidget(m_counter);
  layout->addWidget(m_note);
  layout->addWidget(m_hint);
  layout->addLayout(links);
  layout->addStretch(1);

  connect(m_open, &QPushButton::clicked, this, [this] {
    if (this->record().run_mode == core::kRunModeExtract) return;
    if (m_services.open_path) m_services.open_path(QString::fromStdString(this->record().archive_path));
    close_sheet();
  });
  connect(m_email, &QPushButton::clicked, this, [this] {
    if (this->record().run_mode == core::kRunModeExtract) return;
    if (m_services.mail_file) m_services.mail_file(QString::fromStdString(this->record().archive_path));
    close_sheet();
  });
}

CTovanelExplWizCallBack::~CTovanelExplWizCallBack() = default;

// ---- activation and the run ------------------------------------------------------------

void CTovanelExplWizCallBack::initializePage() {
  if (m_started) return;
  m_started = true;
  if (QWizard* sheet = wizard()) {
    sheet->installEventFilter(this);
    sheet->setOption(QWizard::NoCancelButton, true);  // Stop is the way out of a run
    sheet->setOption(QWizard::NoBackButtonOnLastPage, true);
  }
  set_finish_text(QStringLiteral("Stop"));
  m_run = std::make_unique<run::OperationRun>(record(), m_log, *this, m_services.run_seams);
  m_run->page_created();
  if (m_run->prepare() == run::OperationRun::Preparation::kDeclined) {
    m_completed = true;
    QTimer::singleShot(run::OperationRun::kDeclineCloseMs, this, &CTovanelExplWizCallBack::close_sheet);
    return;
  }
  QTimer::singleShot(run::OperationRun::kRunDelayMs, this, &CTovanelExplWizCallBack::run_now);
}

void CTovanelExplWizCallBack::run_now() {
  m_running = true;
  m_run->perform();
  const run::Completion done = m_run->complete();
  m_running = false;
  m_completed = true;
  set_finish_text(QStringLiteral("Done"));
  if (QWizard* sheet = wizard()) sheet->button(QWizard::FinishButton)->setFocus();  // Enter or Space: Done
  m_email->setVisible(done.show_links);
  m_open->setVisible(done.show_links);
  if (!done.folder_to_open.empty() && m_services.open_path)
    m_services.open_path(QString::fromStdString(done.folder_to_open));
  if (done.close_after_ms > 0) QTimer::singleShot(done.close_after_ms, this, &CTovanelExplWizCallBack::close_sheet);
  emit run_completed(m_run->result());
}

bool CTovanelExplWizCallBack::validatePage() {
  // Finish reads "Stop" until the run has ended: it asks, and the page stays.
  if (m_started && !m_completed && m_run && m_run->running()) {
    ask_stop();
    return false;
  }
  return true;
}

void CTovanelExplWizCallBack::ask_stop() {
  const bool yes = dialogs::ask_yes_no(this, dialogs::load_qstring(core::kIdsWarningTitle),
                                       dialogs::load_qstring(core::kIdsStopOperation));
  if (yes && m_run) m_run->request_stop();
}

void CTovanelExplWizCallBack::close_sheet() {
  if (QWizard* sheet = wizard()) sheet->accept();
}

bool CTovanelExplWizCallBack::eventFilter(QObject* watched, QEvent* event) {
  const bool closing = event->type() == QEvent::Close ||
                       (event->type() == QEvent::KeyPress &&
                        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape);
  if (watched == wizard() && closing && m_running && m_run && m_run->running()) {
    event->ignore();
    ask_stop();
    return true;
  }
  return CMyResizePropPage::eventFilter(watched, event);
}

void CTovanelExplWizCallBack::set_finish_text(const QString& text) {
  if (QWizard* sheet = wizard()) sheet->setButtonText(QWizard::FinishButton, text);
}

// ---- what the run shows ---------------------------------------------------------------

QLabel* CTovanelExplWizCallBack::line_label(run::RunLine line) const {
  switch (line) {
    case run::RunLine::kTitle: return m_title;
    case run::RunLine::kPleaseWait: return m_wait;
    case run::RunLine::kMonitoring: return m_monitoring;
    case run::RunLine::kLabel: return m_label;
    case run::RunLine::kCounter: return m_counter;
    case run::RunLine::kOutcome: return m_wait;  // the outcome takes the place of "please wait"
    case run::RunLine::kNote: return m_note;
    case run::RunLine::kHint: return m_hint;
  }
  return m_note;
}

void CTovanelExplWizCallBack::show_line(run::RunLine line, const std::string& text, bool bold) {
  QLabel* label = line_label(line);
  label->setText(QString::fromStdString(text));
  if (line != run::RunLine::kTitle) set_bold(label, bold);
}

void CTovanelExplWizCallBack::show_item(const std::string& name, int percent) {
  const QString text = QString::fromStdString(name);
  // Long paths lose their middle, never their file name; before the first layout the width is 0.
  const int room = std::max(m_item_name->width(), 240);
  m_item_name->setText(m_item_name->fontMetrics().elidedText(text, Qt::ElideMiddle, room));
  m_item_name->setToolTip(text);
  m_item_percent->setText(percent_text(percent));
}

void CTovanelExplWizCallBack::show_total(int percent) {
  m_total_percent->setText(percent_text(percent));
  m_total_bar->setValue(percent);
}

void CTovanelExplWizCallBack::pump_events() { QCoreApplication::processEvents(); }

// ---- what the run asks ----------------------------------------------------------------

std::optional<std::string> CTovanelExplWizCallBack::ask_password() {
  CTovanelPasswrdCallback dialog(this);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.password().toStdString();
}

bool CTovanelExplWizCallBack::continue_without_password() {
  dialogs::CWarnMessageBoxOnOff warning(core::kIdsWarningTitle, core::kIdsEncryptedNoPassword,
                                        QStringLiteral("EmptytZipStillNoPassword"), this);
  platform::SettingsStore store(record().scheduled_start);
  return warning.exec(store) == dialogs::CWarnMessageBoxOnOff::kAnswerYes;
}

run::OverwriteChoice CTovanelExplWizCallBack::ask_overwrite(const bridge::OverwriteInfo& info) {
  CTovanelAskUsrCallback dialog(QString::fromStdString(info.output_path), this);
  dialog.exec();
  return {dialog.answer(), dialog.new_name().toStdString()};
}

QList<QWizard::WizardButton> CTovanelExplWizCallBack::button_layout() const {
  return {QWizard::Stretch, QWizard::FinishButton, QWizard::HelpButton};
}

}  // namespace wizard
