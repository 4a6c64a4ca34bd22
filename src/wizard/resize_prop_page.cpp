/* wizard/resize_prop_page.cpp - the base of every wizard page. */
#include "wizard/resize_prop_page.h"

#include "core/operation_record.h"
#include "wizard/my_resize_prop_sheet.h"
#include "wizard/page_flow.h"

namespace wizard {

CMyResizePropPage::CMyResizePropPage(int dialog_id, const QString& caption, const QString& help_topic,
                                     core::OperationRecord& record, QWidget* parent)
    : QWizardPage(parent),
      m_dialog_id(dialog_id),
      m_caption(caption),
      m_help_topic(help_topic),
      m_record(record) {
  setTitle(caption);
}

CMyResizePropSheet* CMyResizePropPage::sheet() const { return qobject_cast<CMyResizePropSheet*>(wizard()); }

FlowState CMyResizePropPage::flow_state() const {
  FlowState state;
  state.run_mode = m_record.run_mode;
  state.monitoring = m_record.monitoring != 0;
  return state;
}

int CMyResizePropPage::nextId() const {
  const int next = next_page(m_dialog_id, flow_state());
  if (next != -2) return next;
  const CMyResizePropSheet* own_sheet = sheet();
  return own_sheet ? own_sheet->natural_next(m_dialog_id) : -1;
}

int CMyResizePropPage::finish_target() const { return finish_page(m_dialog_id, flow_state()); }

QList<QWizard::WizardButton> CMyResizePropPage::button_layout() const {
  return {QWizard::Stretch, QWizard::BackButton, QWizard::NextButton, QWizard::FinishButton,
          QWizard::CancelButton, QWizard::HelpButton};
}

}  // namespace wizard
