/* wizard/my_resize_prop_sheet.cpp - the wizard sheet that hosts the pages. */
#include "wizard/my_resize_prop_sheet.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QIcon>
#include <QPainter>
#include <QScreen>
#include <QShortcut>
#include <algorithm>

#include "core/strings.h"
#include "dialogs/about_box.h"
#include "dialogs/ui_text.h"
#include "platform/qt/settings_store.h"
#include "wizard/page_help.h"
#include "wizard/resize_prop_page.h"

namespace wizard {
namespace {

/// The name string starts this far right of the sheet's left edge.
constexpr int kNameStringLeft = 24;
/// The smallest the sheet gets.
constexpr QSize kMinimumSize(560, 400);
/// The size the sheet opens with when no placement is stored (at least).
constexpr QSize kDefaultSize(720, 480);

/// A stored placement: "x y width height maximised" (x, y of the frame).
QByteArray encode_placement(const QRect& rect, bool maximised) {
  return QStringLiteral("%1 %2 %3 %4 %5")
      .arg(rect.x())
      .arg(rect.y())
      .arg(rect.width())
      .arg(rect.height())
      .arg(maximised ? 1 : 0)
      .toLatin1();
}

bool decode_placement(const QByteArray& bytes, QRect* rect, bool* maximised) {
  const QList<QByteArray> parts = bytes.simplified().split(' ');
  if (parts.size() != 5) return false;
  int values[5] = {};
  for (int i = 0; i < 5; ++i) {
    bool ok = false;
    values[i] = parts[i].toInt(&ok);
    if (!ok) return false;
  }
  if (values[2] <= 0 || values[3] <= 0) return false;
  *rect = QRect(values[0], values[1], values[2], values[3]);
  *maximised = values[4] != 0;
  return true;
}

}  // namespace

CMyResizePropSheet::CMyResizePropSheet(const QString& title, const QString& placement_key, int start_page,
                                       const QString& help_path, bool scheduled_run, QWidget* parent)
    : QWizard(parent),
      m_store(std::make_unique<platform::SettingsStore>(scheduled_run)),
      m_placement_key(placement_key),
      m_start_page(start_page),
      m_help_path(help_path),
      m_name_font(QStringLiteral("Arial"), 10),
      m_about(dialogs::show_about_box) {
  setWindowTitle(title);
  setObjectName(QStringLiteral("CMyResizePropSheet"));
  setWizardStyle(QWizard::ClassicStyle);
  setOption(QWizard::HaveHelpButton, true);
  setOption(QWizard::HaveCustomButton1, true);
  setButtonText(QWizard::CustomButton1, dialogs::load_qstring(core::kIdsAboutMenuItem));
  if (QAbstractButton* about = button(QWizard::CustomButton1)) {
    about->setObjectName(QStringLiteral("aboutButton"));
    about->setIcon(QIcon::fromTheme(QStringLiteral("help-about")));
  }
  m_name_font.setWeight(QFont::Normal);
  setModal(true);
  setSizeGripEnabled(true);
  setMinimumSize(kMinimumSize);

  connect(this, &QWizard::currentIdChanged, this, &CMyResizePropSheet::page_activated);
  connect(this, &QWizard::helpRequested, this, [this] { show_help(); });
  connect(this, &QWizard::customButtonClicked, this, [this](int which) {
    if (which == QWizard::CustomButton1) show_about();
  });
  auto* help_key = new QShortcut(QKeySequence::HelpContents, this);
  connect(help_key, &QShortcut::activated, this, [this] { show_help(); });
}

CMyResizePropSheet::~CMyResizePropSheet() = default;

void CMyResizePropSheet::add_page(CMyResizePropPage* page) {
  setPage(page->dialog_id(), page);
  m_order.push_back(page->dialog_id());
  if (m_order.size() == 1) setStartId(page->dialog_id());
}

int CMyResizePropSheet::natural_next(int dialog_id) const {
  const qsizetype at = m_order.indexOf(dialog_id);
  return (at < 0 || at + 1 >= m_order.size()) ? -1 : m_order[at + 1];
}

CMyResizePropPage* CMyResizePropSheet::active_page() const {
  return qobject_cast<CMyResizePropPage*>(currentPage());
}

QString CMyResizePropSheet::online_help_address() const {
  return m_store->read_string(QStringLiteral("Settings"), QStringLiteral("OnlineHelpAddress"),
                              default_online_help_address());
}

void CMyResizePropSheet::show_about() {
  if (m_about) m_about(this);
}

bool CMyResizePropSheet::show_help() {
  const CMyResizePropPage* page = active_page();
  return show_help_topic(this, m_help_folder, page ? page->help_topic() : QString(), online_help_address());
}

// ---- activation and the button row -----------------------------------------

void CMyResizePropSheet::page_activated(int id) {
  auto* page = qobject_cast<CMyResizePropPage*>(this->page(id));
  if (page == nullptr) return;
  const QList<QWizard::WizardButton> layout = page->button_layout();
  setButtonLayout(layout);
  keep_button_row_clear(layout);
  page->on_set_active();
  update();  // the name string follows the buttons
}

void CMyResizePropSheet::keep_button_row_clear(const QList<QWizard::WizardButton>& layout) {
  // The sheet never gets so narrow that the buttons cover the name string.
  // Next and Finish share their place: the page rules show one of them.
  int buttons = 0;
  int next_or_finish = 0;
  for (QWizard::WizardButton which : layout) {
    const QAbstractButton* b = which == QWizard::Stretch ? nullptr : button(which);
    if (b == nullptr) continue;
    const int width = b->sizeHint().width() + 8;
    if (which == QWizard::NextButton || which == QWizard::FinishButton) {
      next_or_finish = std::max(next_or_finish, width);
    } else {
      buttons += width;
    }
  }
  const int name = m_name_string.isEmpty() ? 0 : QFontMetrics(m_name_font).horizontalAdvance(m_name_string) + 24;
  setMinimumWidth(std::max(kMinimumSize.width(), kNameStringLeft + name + buttons + next_or_finish + 24));
}

int CMyResizePropSheet::nextId() const {
  if (m_finish_from != -1 && currentId() == m_finish_from) return m_finish_target;
  return QWizard::nextId();
}

void CMyResizePropSheet::accept() {
  CMyResizePropPage* page = active_page();
  const int target = page ? page->finish_target() : -1;
  if (target == -1 || this->page(target) == nullptr) {
    QWizard::accept();
    return;
  }
  // Finish that moves on: Next to the target page, with the page's own checks.
  m_finish_from = currentId();
  m_finish_target = target;
  next();
  m_finish_from = m_finish_target = -1;
  if (currentPage() == page) emit page->completeChanged();  // stayed: show Finish again
}

// ---- placement, first show and close -----------------------------------------

bool CMyResizePropSheet::restore_placement() {
  if (m_placement_key.isEmpty()) return false;
  QRect rect;
  bool maximised = false;
  if (!decode_placement(m_store->read_bytes(m_placement_key, placement_value_name()), &rect, &maximised)) {
    return false;
  }
  resize(rect.size());
  move(rect.topLeft());
  if (maximised) setWindowState(windowState() | Qt::WindowMaximized);
  return true;
}

void CMyResizePropSheet::initialise() {
  m_initialised = true;
  // Whatever start page the framework was given, the sheet opens on its first
  // page; activating it now sizes the button row before the sheet is placed.
  if (!m_order.isEmpty()) {
    setStartId(m_order.first());
    restart();
  }
  if (!restore_placement()) {
    resize(sizeHint().expandedTo(minimumSize()).expandedTo(kDefaultSize));
    const QWidget* owner = parentWidget();
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = owner ? owner->frameGeometry() : (screen ? screen->availableGeometry() : QRect());
    if (area.isValid()) move(area.center() - rect().center());
  }
}

void CMyResizePropSheet::setVisible(bool visible) {
  if (visible && !m_initialised) initialise();
  QWizard::setVisible(visible);
}

void CMyResizePropSheet::store_placement() {
  if (m_placement_key.isEmpty()) return;
  const bool maximised = isMaximized();
  const QRect rect = maximised ? QRect(normalGeometry().topLeft(), normalGeometry().size()) : QRect(pos(), size());
  m_store->write_bytes(m_placement_key, placement_value_name(), encode_placement(rect, maximised));
  m_store->write_int(m_placement_key, page_index_value_name(), m_active_at_close < 0 ? 0 : m_active_at_close);
}

void CMyResizePropSheet::done(int result) {
  // Finish validates the page first; a page that keeps the user keeps the sheet open.
  if (result != QDialog::Rejected && !validateCurrentPage()) return;
  if (!m_closed) {
    m_closed = true;
    m_active_at_close = static_cast<int>(m_order.indexOf(currentId()));
    store_placement();
  }
  if (result == QDialog::Rejected) {
    QWizard::done(result);
  } else {
    QDialog::done(result);  // validated above; QWizard::done would ask the page again
  }
}

// ---- the name string ------------------------------------------------------------

QRect CMyResizePropSheet::name_string_rect() const {
  if (m_name_string.isEmpty()) return QRect();
  // The band of the buttons: the first visible button of the row.
  QRect band;
  for (QWizard::WizardButton which : {QWizard::CancelButton, QWizard::FinishButton, QWizard::NextButton,
                                      QWizard::HelpButton}) {
    const QAbstractButton* b = button(which);
    if (b && b->isVisible()) {
      band = QRect(b->mapTo(this, QPoint(0, 0)), b->size());
      break;
    }
  }
  if (!band.isValid()) band = QRect(0, height() - 40, width(), 30);
  const QFontMetrics metrics(m_name_font);
  return QRect(kNameStringLeft, band.top(), metrics.horizontalAdvance(m_name_string) + 2, band.height());
}

void CMyResizePropSheet::paintEvent(QPaintEvent* event) {
  QWizard::paintEvent(event);
  const QRect text_rect = name_string_rect();
  if (text_rect.isEmpty()) return;
  // Etched: the highlight colour one pixel right and down, then the shadow colour over it.
  QPainter painter(this);
  painter.setFont(m_name_font);
  painter.setBackgroundMode(Qt::TransparentMode);
  painter.setPen(palette().color(QPalette::Light));
  painter.drawText(text_rect.translated(1, 1), Qt::AlignLeft | Qt::AlignVCenter, m_name_string);
  painter.setPen(palette().color(QPalette::Dark));
  painter.drawText(text_rect, Qt::AlignLeft | Qt::AlignVCenter, m_name_string);
}

}  // namespace wizard
