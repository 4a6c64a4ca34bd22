/* log/html_log_writer.h - a small writer of HTML 3.2 tables into a file.
 *
 * HtmlLogWriter opens a document (head with title and body colours), starts
 * tables with a caption, fills the cells of a row (text and width attribute)
 * and writes the row with its background colour and font, ends tables and
 * closes the document with an optional product banner.  The formats are fixed
 * character for character, because results logs are compared and parsed by
 * people's own tools: rows and cells are not closed with end tags, a spanning
 * row is not followed by a line break, and cell texts are written exactly as
 * given (escaping is the caller's business; TaskLog escapes what it takes from
 * outside).
 *
 * Spacing: when a table is followed by another, "<br><br>" and S = (cell texts
 * set since that table began) / columns / 2 paragraphs "<p>&nbsp;</p>" follow
 * it, one when S is 1, S + 3 otherwise.
 *
 * States: closed, open without a table, open with a table, ended.  An optional
 * lock serialises every operation for writers shared between threads.
 */
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/file.h"

namespace tasklog {

/// Font colour, font size (1..7) and optionally a text of a row.
struct RowStyle {
  uint32_t font_colour = 0x000000;
  int font_size = 1;
  std::string text;
};

class HtmlLogWriter {
 public:
  enum Align : int { kLeft = 0, kRight = 1, kCenter = 2 };
  enum RowType : int { kDataRow = 0, kHeaderRow = 1, kSpanRow = 2 };
  enum OpenMode : int { kAppend = 0, kCreate = 1 };

  static constexpr char kDefaultTitle[] = "Parvell Morvane Technology LogFile";

  HtmlLogWriter() = default;
  ~HtmlLogWriter();  ///< ends the document (with the banner) if still open, closes the file
  HtmlLogWriter(const HtmlLogWriter&) = delete;
  HtmlLogWriter& operator=(const HtmlLogWriter&) = delete;

  /// Opens @p file_name: kAppend appends (head only for a new file), kCreate
  /// creates or truncates.  A document already open is ended first.  @p title
  /// nullptr gives the default title.  @return whether the file was opened and
  /// the head written.
  bool open(const std::string& file_name, bool use_lock, int mode, const char* title,
            uint32_t background, uint32_t text_colour);
  /// Ends an open table, then starts one of @p columns columns.  @p caption may be nullptr.
  bool begin_table(int columns, const char* caption, int border, int width_percent, int alignment);
  /// Sets the text of @p column; a column outside the table is ignored.
  void set_cell_text(int column, const std::string& text);
  /// Sets the width attribute of @p column; a percentage above 100 is refused.
  void set_cell_width(int column, int width, bool absolute);
  /// Writes a row of the current table.  @p style may be nullptr.
  bool write_row(const RowStyle* style, int row_type, int alignment);
  /// Closes the current table and the document, with the product banner when asked.
  bool end_table(bool banner);

  void set_highlight(bool on) { m_highlight = on; }
  void set_even_row_colour(uint32_t c) { m_even_colour = c & 0xFFFFFF; }
  void set_odd_row_colour(uint32_t c) { m_odd_colour = c & 0xFFFFFF; }
  void set_highlight_colour(uint32_t c) { m_highlight_colour = c & 0xFFFFFF; }
  void set_span_colour(uint32_t c) { m_span_colour = c & 0xFFFFFF; }

  const std::string& file_name() const { return m_file_name; }
  bool is_open() const { return m_state == State::kOpen || m_state == State::kTable; }

 private:
  enum class State { kClosed, kOpen, kTable, kEnded };
  struct Cell {
    std::string text;
    std::string width;
  };

  bool write(const std::string& text);
  bool end_document(bool banner);
  std::unique_lock<std::mutex> lock();

  platform::File m_file;
  std::string m_file_name;
  State m_state = State::kClosed;
  bool m_write_head = true;
  bool m_use_lock = false;
  std::mutex m_mutex;
  std::vector<Cell> m_cells;
  int m_columns = 0;
  int m_rows = 0;
  int m_texts_set = 0;  ///< cell texts set since the current table began
  bool m_highlight = false;
  uint32_t m_even_colour = 0xFFFFFF;
  uint32_t m_odd_colour = 0xF0F0F0;
  uint32_t m_highlight_colour = 0xFF0000;
  uint32_t m_span_colour = 0x80FF80;
};

}  // namespace tasklog
