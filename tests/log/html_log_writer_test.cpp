/* tests/log/html_log_writer_test.cpp - the HTML table writer's formats and states:
 * the spacer rule, row colours, width attributes, unescaped cell texts, append
 * mode, and the ended state. */
#include <gtest/gtest.h>


#include "log/html_log_writer.h"
#include "../tasks/task_file_util.h"
#include "test_env.h"

namespace {

using tasklog::HtmlLogWriter;

std::string count_paragraphs_after_first_table(const std::string& doc) {
  const size_t at = doc.find("</TABLE>\n<br><br>");
  if (at == std::string::npos) return "none";
  const size_t start = at + 17;
  return doc.substr(start, doc.find('\n', start) - start);
}

std::string paragraphs(int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += "<p>&nbsp;</p>";
  return out;
}

class HtmlLogWriterTest : public ::testing::Test {
 protected:
  void SetUp() override { m_path = testenv::make_temp_dir("html-writer") + "/doc.html"; }
  /// A table of @p columns columns with @p texts cell texts set, followed by a second table.
  std::string spacing_after(int columns, int texts) {
    {
      HtmlLogWriter w;
      EXPECT_TRUE(w.open(m_path, false, HtmlLogWriter::kCreate, "T", 0xFFFFFF, 0));
      EXPECT_TRUE(w.begin_table(columns, nullptr, 1, 100, HtmlLogWriter::kLeft));
      for (int i = 0; i < texts; ++i) w.set_cell_text(i % columns, "x");
      EXPECT_TRUE(w.begin_table(1, nullptr, 1, 100, HtmlLogWriter::kLeft));
    }
    return count_paragraphs_after_first_table(tasktest::read_bytes(m_path));
  }
  std::string m_path;
};

TEST_F(HtmlLogWriterTest, SpacerRule) {
  EXPECT_EQ(spacing_after(3, 12), paragraphs(5));  // S = 12 / 3 / 2 = 2 -> 2 + 3
  EXPECT_EQ(spacing_after(1, 2), paragraphs(1));   // S = 1 -> one
  EXPECT_EQ(spacing_after(3, 0), paragraphs(3));   // S = 0 -> 3
  EXPECT_EQ(spacing_after(3, 11), paragraphs(1));  // 11 / 3 = 3, / 2 = 1
  EXPECT_EQ(spacing_after(1, 7), paragraphs(6));   // S = 3 -> 6
}

TEST_F(HtmlLogWriterTest, TextsOutsideTheTableDoNotCount) {
  HtmlLogWriter w;
  ASSERT_TRUE(w.open(m_path, false, HtmlLogWriter::kCreate, nullptr, 0xFFFFFF, 0));
  ASSERT_TRUE(w.begin_table(1, nullptr, 1, 100, HtmlLogWriter::kLeft));
  w.set_cell_text(0, "a");
  w.set_cell_text(0, "b");
  w.set_cell_text(1, "ignored");
  w.set_cell_text(-1, "ignored");
  ASSERT_TRUE(w.begin_table(1, nullptr, 1, 100, HtmlLogWriter::kLeft));
  w.end_table(false);
  EXPECT_EQ(count_paragraphs_after_first_table(tasktest::read_bytes(m_path)), paragraphs(1));
}

TEST_F(HtmlLogWriterTest, RowsCellsAndColours) {
  {
    HtmlLogWriter w;
    ASSERT_TRUE(w.open(m_path, false, HtmlLogWriter::kCreate, "Title", 0x123456, 0xABCDEF));
    ASSERT_TRUE(w.begin_table(2, "Cap", 0, 50, HtmlLogWriter::kRight));
    w.set_cell_text(0, "<b>&amp;");  // written unchanged
    w.set_cell_text(1, "two");
    w.set_cell_width(0, 40, true);
    w.set_cell_width(1, 30, false);
    ASSERT_TRUE(w.write_row(nullptr, HtmlLogWriter::kDataRow, HtmlLogWriter::kRight));  // row 0: even
    const tasklog::RowStyle style{0x00FF00, 3, {}};
    ASSERT_TRUE(w.write_row(&style, HtmlLogWriter::kDataRow, HtmlLogWriter::kCenter));  // row 1: odd
    w.set_cell_width(1, 101, false);  // refused: stays 30%
    ASSERT_TRUE(w.write_row(&style, HtmlLogWriter::kHeaderRow, HtmlLogWriter::kLeft));  // row 2: even
    w.set_highlight(true);
    ASSERT_TRUE(w.write_row(nullptr, HtmlLogWriter::kSpanRow, HtmlLogWriter::kLeft));  // highlight colour
    w.set_even_row_colour(0x0000FF);
    ASSERT_TRUE(w.write_row(nullptr, HtmlLogWriter::kDataRow, HtmlLogWriter::kLeft));  // still highlighted, row 3
    ASSERT_TRUE(w.write_row(nullptr, HtmlLogWriter::kDataRow, HtmlLogWriter::kLeft));  // row 4: even, blue
    ASSERT_TRUE(w.end_table(false));
  }
  const std::string expected =
      "<!DOCTYPE HTML PUBLIC -//W3C//DTD HTML 3.2//EN>\n"
      "<HTML>\n<HEAD>\n <TITLE>Title</TITLE>\n</HEAD>\n\n<BODY BACKCOLOR=\"#123456\" TEXT=\"#ABCDEF\">\n"
      "<TABLE width=\"50%\" border=0 cellspacing=\"0\" align=\"RIGHT\">\n"
      "<CAPTION ALIGN=\"TOP\"><FONT size=\"5\" face=\"Arial, Helvetica, sans-serif\" >Cap</FONT></CAPTION>\n"
      "<TR align=\"RIGHT\"><TD bgcolor=\"#FFFFFF\"><FONT face=\"Arial\" size=1><b>&amp;</FONT>"
      "<TD bgcolor=\"#FFFFFF\"><FONT face=\"Arial\" size=1>two</FONT> \n"
      "<TR align=\"CENTER\"><TD WIDTH=\"40\" bgcolor=\"#F0F0F0\"><FONT size=\"3\" color=\"#00FF00\" "
      "face=\"Arial, Helvetica, sans-serif\"><b>&amp;</FONT><TD WIDTH=\"30%\" bgcolor=\"#F0F0F0\"><FONT size=\"3\" "
      "color=\"#00FF00\" face=\"Arial, Helvetica, sans-serif\">two</FONT> \n"
      "<TR align=\"LEFT\"><TH WIDTH=\"40\" bgcolor=\"#FFFFFF\"><FONT size=\"3\" color=\"#00FF00\" "
      "face=\"Arial, Helvetica, sans-serif\"><b>&amp;</FONT><TH WIDTH=\"30%\" bgcolor=\"#FFFFFF\"><FONT size=\"3\" "
      "color=\"#00FF00\" face=\"Arial, Helvetica, sans-serif\">two</FONT> \n"
      "<TR align=\"LEFT\"><TD WIDTH=\"40\" COLSPAN=\"2\" bgcolor=\"#FF0000\"><FONT face=\"Arial\" size=1><b>&amp;</FONT>"
      "<TR align=\"LEFT\"><TD bgcolor=\"#FF0000\"><FONT face=\"Arial\" size=1><b>&amp;</FONT>"
      "<TD bgcolor=\"#FF0000\"><FONT face=\"Arial\" size=1>two</FONT> \n"
      "<TR align=\"LEFT\"><TD bgcolor=\"#0000FF\"><FONT face=\"Arial\" size=1><b>&amp;</FONT>"
      "<TD bgcolor=\"#0000FF\"><FONT face=\"Arial\" size=1>two</FONT> \n"
      "\n</TABLE><p>&nbsp;</p><hr>\n</BODY>\n</HTML>\n";
  EXPECT_EQ(tasktest::read_bytes(m_path), expected);
}

TEST_F(HtmlLogWriterTest, EndedWriterWritesNothingMore) {
  HtmlLogWriter w;
  ASSERT_TRUE(w.open(m_path, false, HtmlLogWriter::kCreate, nullptr, 0xFFFFFF, 0));
  ASSERT_TRUE(w.begin_table(1, nullptr, 1, 100, HtmlLogWriter::kLeft));
  ASSERT_TRUE(w.end_table(false));
  const std::string ended = tasktest::read_bytes(m_path);
  EXPECT_FALSE(w.end_table(true));
  EXPECT_FALSE(w.begin_table(1, nullptr, 1, 100, HtmlLogWriter::kLeft));
  EXPECT_FALSE(w.write_row(nullptr, HtmlLogWriter::kDataRow, HtmlLogWriter::kLeft));
  EXPECT_EQ(tasktest::read_bytes(m_path), ended);
}

TEST_F(HtmlLogWriterTest, AppendWritesTheHeadOnlyForANewFile) {
  {
    HtmlLogWriter w;
    ASSERT_TRUE(w.open(m_path, false, HtmlLogWriter::kAppend, "First", 0xFFFFFF, 0));
    w.end_table(false);
  }
  {
    HtmlLogWriter w;
    ASSERT_TRUE(w.open(m_path, true, HtmlLogWriter::kAppend, "Second", 0xFFFFFF, 0));
    ASSERT_TRUE(w.begin_table(1, "Again", 1, 100, HtmlLogWriter::kLeft));
  }  // the destructor ends the document with the banner
  const std::string doc = tasktest::read_bytes(m_path);
  EXPECT_NE(doc.find("<TITLE>First</TITLE>"), std::string::npos);
  EXPECT_EQ(doc.find("<TITLE>Second</TITLE>"), std::string::npos);
  EXPECT_NE(doc.find(">Again</FONT></CAPTION>"), std::string::npos);
  EXPECT_NE(doc.find("Parvell Ravarave v2.1"), std::string::npos);
  EXPECT_EQ(doc.rfind("</HTML>\n"), doc.size() - 8);
}

TEST_F(HtmlLogWriterTest, UnopenableFileAndNoTable) {
  HtmlLogWriter w;
  EXPECT_FALSE(w.open(m_path + "/not-a-folder/x.html", false, HtmlLogWriter::kCreate, nullptr, 0, 0));
  EXPECT_FALSE(w.open("", false, HtmlLogWriter::kCreate, nullptr, 0, 0));
  EXPECT_FALSE(w.begin_table(1, nullptr, 1, 100, HtmlLogWriter::kLeft));
  ASSERT_TRUE(w.open(m_path, false, HtmlLogWriter::kCreate, nullptr, 0, 0));
  EXPECT_FALSE(w.write_row(nullptr, HtmlLogWriter::kDataRow, HtmlLogWriter::kLeft));  // no table yet
}

}  // namespace
