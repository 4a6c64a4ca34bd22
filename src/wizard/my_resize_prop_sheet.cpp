/* wizard/my_resize_prop_sheet.cpp - the wizard sheet that hosts the pages. */
#include "wizard/my_resize_prop_sheet.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include "platform/qt/settings_store.h"
#include "wizard/resize_prop_page.h"

namespace wizard {

CMyResizePropSheet::CMyResizePropSheet(const QString& title, const QString& placement_key, int start_page,
                                       const QString& help_path, bool scheduled_run, QWidget* parent)
    : QWizard(parent),
      m_store(std::make_unique<platform::SettingsStore>(scheduled_run)),
      m_placement_key(placement_key),
      m_start_page(start_page),
      m_help_path(help_path),
      m_name_font(QStringLiteral("Arial"), 10) {
  setWindowTitle(title);
  setObjectName(QStringLiteral("CMyResizePropSheet"));
  setOption(QWizard::HaveHelpButton, true);
  setModal(true);
  setSizeGripEnabled(true);
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

void CMyResizePropSheet::initialise() {
  m_initialised = true;
  const QByteArray placement = m_placement_key.isEmpty()
                                   ? QByteArray()
                                   : m_store->read_bytes(m_placement_key, placement_value_name());
  if (placement.isEmpty() || !restoreGeometry(placement)) {
    const QWidget* owner = parentWidget();
    const QRect area = owner ? owner->geometry()
                             : (QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry()
                                                                 : QRect());
    if (area.isValid()) move(area.center() - rect().center());
  }
  // Whatever start page the framework was given, the sheet opens on its first page.
  if (!m_order.isEmpty() && currentId() != m_order.first()) {
    setStartId(m_order.first());
    restart();
  }
}

void CMyResizePropSheet::showEvent(QShowEvent* event) {
  QWizard::showEvent(event);
  if (!m_initialised) initialise();
}

void CMyResizePropSheet::store_placement() {
  if (m_placement_key.isEmpty()) return;
  m_store->write_bytes(m_placement_key, placement_value_name(), saveGeometry());
  m_store->write_int(m_placement_key, page_index_value_name(), m_active_at_close < 0 ? 0 : m_active_at_close);
}

void CMyResizePropSheet::done(int result) {
  if (!m_closed) {
    m_closed = true;
    m_active_at_close = static_cast<int>(m_order.indexOf(currentId()));
    store_placement();
  }
  QWizard::done(result);
}

void CMyResizePropSheet::paintEvent(QPaintEvent* event) {
  QWizard::paintEvent(event);
  if (m_name_string.isEmpty()) return;
  // The name in the button row, 24 pixels from the left edge, etched: first
  // the highlight colour one pixel right and down, then the shadow colour.
  const QAbstractButton* cancel = button(QWizard::CancelButton);
  const QRect band = cancel && cancel->isVisible() ? cancel->geometry() : QRect(0, height() - 40, width(), 30);
  QPainter painter(this);
  painter.setFont(m_name_font);
  const QRect text_rect(24, band.top(), band.left() > 24 ? band.left() - 24 : width() / 3, band.height());
  painter.setPen(palette().color(QPalette::Light));
  painter.drawText(text_rect.translated(1, 1), Qt::AlignLeft | Qt::AlignVCenter, m_name_string);
  painter.setPen(palette().color(QPalette::Dark));
  painter.drawText(text_rect, Qt::AlignLeft | Qt::AlignVCenter, m_name_string);
}

}  // namespace wizard
