/* wizard/resize_prop_page.cpp - the base of every wizard page. */
#include "wizard/resize_prop_page.h"

#include "wizard/my_resize_prop_sheet.h"

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

int CMyResizePropPage::nextId() const {
  const auto* sheet = qobject_cast<const CMyResizePropSheet*>(wizard());
  return sheet ? sheet->natural_next(m_dialog_id) : -1;
}

}  // namespace wizard
