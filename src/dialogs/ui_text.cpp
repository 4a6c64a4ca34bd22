/* dialogs/ui_text.cpp - the string table's texts as the widgets take them. */
#include "dialogs/ui_text.h"

#include <cstdarg>

#include "core/strings.h"

namespace dialogs {

QString load_qstring(int id) {
  const char* text = core::load_string(id);
  return text ? QString::fromUtf8(text) : QString();
}

QString format_qstring(int id, ...) {
  va_list args;
  va_start(args, id);
  const std::string out = core::vformat_string(id, args);
  va_end(args);
  return QString::fromStdString(out);
}

}  // namespace dialogs
