/* log/html_log_writer.cpp - a small writer of HTML 3.2 tables into a file. */
#include "log/html_log_writer.h"

#include <cstdarg>
#include <cstdio>
#include <cerrno>

#include "core/product.h"

namespace tasklog {
namespace {

const char kFontFace[] = "Arial, Helvetica, sans-serif";

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  va_list measure;
  va_copy(measure, args);
  const int needed = std::vsnprintf(nullptr, 0, fmt, measure);
  va_end(measure);
  std::string out(needed > 0 ? static_cast<size_t>(needed) + 1 : 1, '\0');
  if (needed > 0) std::vsnprintf(out.data(), out.size(), fmt, args);
  va_end(args);
  out.resize(needed > 0 ? static_cast<size_t>(needed) : 0);
  return out;
}

const char* alignment_word(int alignment) {
  switch (alignment) {
    case HtmlLogWriter::kRight: return "RIGHT";
    case HtmlLogWriter::kCenter: return "CENTER";
    default: return "LEFT";
  }
}

std::string banner() {
  return format("<p>&nbsp;</p><TABLE width=\"100%%\" border=1 cellpadding=0 cellspacing=0 bgcolor=\"#FFFFFF\">"
                "<TR><TD align=\"CENTER\" height=95><FONT size=\"4\" face=\"%s\">%s</FONT></TD></TR></TABLE>"
                "<p>&nbsp;</p>",
                kFontFace, core::kProductName);
}

}  // namespace

HtmlLogWriter::~HtmlLogWriter() {
  end_table(true);
  m_file.close();
}

std::unique_lock<std::mutex> HtmlLogWriter::lock() {
  return m_use_lock ? std::unique_lock<std::mutex>(m_mutex) : std::unique_lock<std::mutex>();
}

bool HtmlLogWriter::write(const std::string& text) { return m_file.write(text.data(), text.size()) == 0; }

bool HtmlLogWriter::open(const std::string& file_name, bool use_lock, int mode, const char* title,
                         uint32_t background, uint32_t text_colour) {
  end_table(true);
  m_file.close();
  m_use_lock = use_lock;
  auto guard = lock();
  m_state = State::kClosed;
  m_file_name = file_name;
  m_write_head = true;
  if (file_name.empty()) return false;

  if (mode == kAppend) {
    const int opened = m_file.open(file_name, platform::File::Mode::kReadWrite);
    if (opened == 0) {
      m_write_head = false;
      const int64_t end = m_file.size();
      if (end < 0 || m_file.seek(static_cast<uint64_t>(end)) != 0) return false;
    } else if (opened != ENOENT || m_file.open(file_name, platform::File::Mode::kCreate) != 0) {
      return false;
    }
  } else if (m_file.open(file_name, platform::File::Mode::kCreate) != 0) {
    return false;
  }
  m_state = State::kOpen;
  m_cells.clear();
  m_columns = 0;
  if (!m_write_head) return true;

  const std::string body = format("<BODY BACKCOLOR=\"#%06X\" TEXT=\"#%06X\">", background & 0xFFFFFF,
                                  text_colour & 0xFFFFFF);
  return write("<!DOCTYPE HTML PUBLIC -//W3C//DTD HTML 3.2//EN>\n") &&
         write(format("<HTML>\n<HEAD>\n <TITLE>%s</TITLE>\n</HEAD>\n\n%s", title ? title : kDefaultTitle,
                      body.c_str()) + "\n");
}

bool HtmlLogWriter::begin_table(int columns, const char* caption, int border, int width_percent,
                                int alignment) {
  auto guard = lock();
  if (m_state != State::kOpen && m_state != State::kTable) return false;
  if (m_state == State::kTable) {
    m_cells.clear();
    if (!write("</TABLE>\n")) return false;
    const int spacing = m_columns > 0 ? m_texts_set / m_columns / 2 : 0;
    std::string spacer = "<br><br>";
    for (int i = 0, n = spacing == 1 ? 1 : spacing + 3; i < n; ++i) spacer += "<p>&nbsp;</p>";
    if (!write(spacer + "\n")) return false;
    m_state = State::kOpen;
  }
  if (columns < 1) columns = 1;
  m_cells.assign(static_cast<size_t>(columns), Cell{});
  m_columns = columns;
  m_rows = 0;
  m_state = State::kTable;
  m_texts_set = 0;
  if (!write(format("<TABLE width=\"%d%%\" border=%d cellspacing=\"0\" align=\"%s\">", width_percent, border,
                    alignment_word(alignment)) + "\n")) {
    return false;
  }
  if (caption != nullptr &&
      !write(format("<CAPTION ALIGN=\"TOP\"><FONT size=\"5\" face=\"%s\" >%s</FONT></CAPTION>", kFontFace,
                    caption) + "\n")) {
    return false;
  }
  return true;
}

void HtmlLogWriter::set_cell_text(int column, const std::string& text) {
  auto guard = lock();
  if (column < 0 || column >= static_cast<int>(m_cells.size())) return;
  m_cells[static_cast<size_t>(column)].text = text;
  ++m_texts_set;
}

void HtmlLogWriter::set_cell_width(int column, int width, bool absolute) {
  auto guard = lock();
  if (column < 0 || column >= static_cast<int>(m_cells.size())) return;
  if (absolute) {
    m_cells[static_cast<size_t>(column)].width = format("WIDTH=\"%d\"", width);
  } else if (width <= 100) {
    m_cells[static_cast<size_t>(column)].width = format("WIDTH=\"%d%%\"", width);
  }
}

bool HtmlLogWriter::write_row(const RowStyle* style, int row_type, int alignment) {
  auto guard = lock();
  if (m_state != State::kTable || m_cells.empty()) return false;
  std::string row = format("<TR align=\"%s\">", alignment_word(alignment));

  uint32_t background = (m_rows % 2 == 1) ? m_odd_colour : m_even_colour;
  if (row_type == kSpanRow) background = m_span_colour;
  if (m_highlight) background = m_highlight_colour;

  if (row_type == kSpanRow) {
    const Cell& first = m_cells.front();
    if (style != nullptr) {
      row += format("<%s %s COLSPAN=\"%d\" bgcolor=\"#%06X\"><FONT size=\"%d\" color=\"#%06X\" face=\"%s\">%s</FONT>",
                    "TD", first.width.c_str(), m_columns, background, style->font_size,
                    style->font_colour & 0xFFFFFF, kFontFace, first.text.c_str());
    } else {
      row += format("<%s %s COLSPAN=\"%d\" bgcolor=\"#%06X\"><FONT face=\"Arial\" size=1>%s</FONT>", "TD",
                    first.width.c_str(), m_columns, background, first.text.c_str());
    }
    return write(row);
  }

  const char* tag = row_type == kHeaderRow ? "TH" : "TD";
  for (const Cell& cell : m_cells) {
    if (style != nullptr) {
      row += format("<%s %s bgcolor=\"#%06X\"><FONT size=\"%d\" color=\"#%06X\" face=\"%s\">%s</FONT>", tag,
                    cell.width.c_str(), background, style->font_size, style->font_colour & 0xFFFFFF, kFontFace,
                    cell.text.c_str());
    } else {
      row += format("<%s bgcolor=\"#%06X\"><FONT face=\"Arial\" size=1>%s</FONT>", tag, background,
                    cell.text.c_str());
    }
  }
  row += " \n";
  if (!write(row)) return false;
  ++m_rows;
  m_highlight = false;
  return true;
}

bool HtmlLogWriter::end_table(bool with_banner) {
  auto guard = lock();
  return end_document(with_banner);
}

bool HtmlLogWriter::end_document(bool with_banner) {
  if (m_state != State::kOpen && m_state != State::kTable) return false;
  m_cells.clear();
  m_columns = 0;
  m_state = State::kEnded;
  std::string end = "\n</TABLE><p>&nbsp;</p><hr>";
  if (with_banner) end += banner();
  end += "\n</BODY>\n</HTML>\n";
  const bool ok = write(end);
  m_file.close();
  return ok;
}

}  // namespace tasklog
