/* tests/tasks/task_info_file_test.cpp - the plain task info file: exact bytes
 * written, the reader's key search and its quirks that stored files rely on,
 * the 16,384-byte limits, damaged files, and the file-name rule with its
 * 260-character join. */
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/fault_injection.h"
#include "task_file_util.h"
#include "tasks/protected_task_file.h"
#include "tasks/task_info_file.h"
#include "tasks/task_info_lines.h"
#include "test_env.h"

namespace {

using tasktest::plain_record;
using tasktest::read_bytes;
using tasktest::write_bytes;

const std::string kMarkerLine = "PRJ_TAG = _PARVELL_SECURE_TASK_FILE_INFO_";

class PlainTaskFile : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = testenv::make_temp_dir("plain-task");
    m_path = m_dir + "/t.task_info.txt";
    m_record.reset();
  }
  int read(const std::string& bytes) {
    write_bytes(m_path, bytes);
    return tasks::read_task_info_file(m_path, &m_record);
  }
  std::string m_dir, m_path;
  core::OperationRecord m_record;
};

TEST_F(PlainTaskFile, WritesTheSixteenLinesByteForByte) {
  core::OperationRecord r = tasktest::sample_record(m_path);
  ASSERT_EQ(tasks::write_task_info_file(&r), 1);
  std::string expected;
  for (const std::string& line : tasktest::sample_record_lines()) {
    expected += plain_record(line);
  }
  EXPECT_EQ(read_bytes(m_path), expected);
  EXPECT_EQ(expected.substr(0, 4), std::string("\x29\0\0\0", 4));  // marker line: 41 bytes
  EXPECT_FALSE(std::filesystem::exists(m_path + ".part"));
}

TEST_F(PlainTaskFile, WriteThenReadGivesBackEveryKeyedField) {
  const core::OperationRecord written = tasktest::sample_record(m_path);
  ASSERT_EQ(tasks::write_task_info_file(&written), 1);
  ASSERT_EQ(tasks::read_task_info_file(m_path, &m_record), 1);
  EXPECT_EQ(m_record.task_name, written.task_name);
  EXPECT_EQ(m_record.task_comment, written.task_comment);
  EXPECT_EQ(m_record.sched_account, written.sched_account);
  EXPECT_EQ(m_record.sched_app_name, written.sched_app_name);
  EXPECT_EQ(m_record.sched_app_params, written.sched_app_params);
  EXPECT_EQ(m_record.stored_operation, written.stored_operation);
  EXPECT_EQ(m_record.create_new, written.create_new);
  EXPECT_EQ(m_record.faster_compression, written.faster_compression);
  EXPECT_EQ(m_record.delete_after, written.delete_after);
  EXPECT_EQ(m_record.archive_path, written.archive_path);
  EXPECT_EQ(m_record.originating_folder, written.originating_folder);
  EXPECT_EQ(m_record.file_list, written.file_list);
  EXPECT_EQ(m_record.log_file_name, written.log_file_name);
  EXPECT_EQ(m_record.destination_folder, written.destination_folder);
  EXPECT_EQ(m_record.log_enabled, 1);
  EXPECT_EQ(m_record.cmdline_task_path, m_path);
  // Fields without a key keep their reset values.
  EXPECT_EQ(m_record.run_mode, -1);
  EXPECT_EQ(m_record.prevent_tampering, 0);
}

TEST_F(PlainTaskFile, NoRecordOrUncreatableFileGivesZero) {
  EXPECT_EQ(tasks::write_task_info_file(nullptr), 0);
  core::OperationRecord r = tasktest::sample_record(m_dir + "/missing-folder/t.task_info.txt");
  EXPECT_EQ(tasks::write_task_info_file(&r), 0);
}

TEST_F(PlainTaskFile, FailedWriteLeavesNoHalfFileAndKeepsTheOldOne) {
  write_bytes(m_path, "old contents");
  core::OperationRecord r = tasktest::sample_record(m_path);
  platform::faults::arm(platform::faults::Op::kWrite, 1, ENOSPC);
  EXPECT_EQ(tasks::write_task_info_file(&r), 0);
  platform::faults::disarm();
  EXPECT_EQ(read_bytes(m_path), "old contents");
  EXPECT_FALSE(std::filesystem::exists(m_path + ".part"));
}

TEST_F(PlainTaskFile, KeysInAnyOrderRepeatedKeysLastWins) {
  ASSERT_EQ(read(plain_record(kMarkerLine) + plain_record("ZIP_LOG_FILE_NAME = first.log") +
                 plain_record("no key in this line") + plain_record("ZIP_OPERATION = 2") +
                 plain_record("ZIP_TASK_NAME = T") + plain_record("ZIP_LOG_FILE_NAME = second.log")),
            1);
  EXPECT_EQ(m_record.log_file_name, "second.log");
  EXPECT_EQ(m_record.stored_operation, 2);
  EXPECT_EQ(m_record.task_name, "T");
}

TEST_F(PlainTaskFile, KeyFoundAnywhereInFixedOrder) {
  ASSERT_EQ(read(plain_record(kMarkerLine) + plain_record("ZIP_TASK_COMMENT = see ZIP_TASK_NAME = word") +
                 plain_record("  prefix ZIP_WORKING_FILE_NAME = /a.zip")),
            1);
  EXPECT_EQ(m_record.task_name, "word");
  EXPECT_EQ(m_record.task_comment, "");
  EXPECT_EQ(m_record.archive_path, "/a.zip");
}

TEST_F(PlainTaskFile, IntegersTakeOneCharacter) {
  ASSERT_EQ(read(plain_record(kMarkerLine) + plain_record("ZIP_OPERATION = 12") +
                 plain_record("ZIP_CREATE_NEW = -1") + plain_record("ZIP_USE_FASTER_COMPRESSION = ")),
            1);
  EXPECT_EQ(m_record.stored_operation, 1);
  EXPECT_EQ(m_record.create_new, -3);  // '-' minus '0'
  EXPECT_EQ(m_record.faster_compression, -'0');  // nothing after the key: the zero byte
}

TEST_F(PlainTaskFile, ValueKeepsLeadingBlanksAndMayBeEmpty) {
  ASSERT_EQ(read(plain_record(kMarkerLine) + plain_record("ZIP_TASK_NAME =   spaced ") +
                 plain_record("ZIP_TASK_NAME = " "  two") + plain_record("ZIP_TASK_COMMENT = ")),
            1);
  EXPECT_EQ(m_record.task_name, "  two");
  EXPECT_EQ(m_record.task_comment, "");
}

TEST_F(PlainTaskFile, ValueEndsAtItsFirstZeroByte) {
  ASSERT_EQ(read(plain_record(kMarkerLine) + plain_record(std::string("ZIP_TASK_NAME = ab\0cd", 21))), 1);
  EXPECT_EQ(m_record.task_name, "ab");
}

TEST_F(PlainTaskFile, MarkerTokenIgnoresCaseButTheKeyDoesNot) {
  EXPECT_EQ(read(plain_record("PRJ_TAG = _parvell_secure_task_file_info_ trailing words") +
                 plain_record("ZIP_TASK_NAME = ok")),
            1);
  EXPECT_EQ(m_record.task_name, "ok");
  m_record.reset();
  EXPECT_EQ(read(plain_record("prj_tag = _PARVELL_SECURE_TASK_FILE_INFO_") + plain_record("ZIP_TASK_NAME = no")), 0);
  EXPECT_EQ(m_record.task_name, "");
  EXPECT_EQ(read(plain_record("PRJ_TAG = _PARVELL_SECURE_TASK_FILE_INFO")), 0);
  EXPECT_EQ(read(plain_record("PRJ_TAG = ")), 0);
  EXPECT_EQ(read(plain_record("ZIP_TASK_NAME = first") + plain_record(kMarkerLine)), 0);
  EXPECT_EQ(read(plain_record("PRJ_TAG = " + std::string(16000, 'X'))), 0);  // long token: wrong marker
}

TEST_F(PlainTaskFile, RecordOf16384BytesEndsReading) {
  const std::string key = "ZIP_TASK_COMMENT = ";
  const std::string longest = key + std::string(16383 - key.size(), 'c');
  ASSERT_EQ(read(plain_record(kMarkerLine) + plain_record(longest) + plain_record("ZIP_TASK_NAME = seen")), 1);
  EXPECT_EQ(m_record.task_comment.size(), 16383 - key.size());
  EXPECT_EQ(m_record.task_name, "seen");

  m_record.reset();
  const std::string too_long = key + std::string(16384 - key.size(), 'c');
  ASSERT_EQ(read(plain_record(kMarkerLine) + plain_record("ZIP_TASK_NAME = before") + plain_record(too_long) +
                 plain_record("ZIP_TASK_NAME = after")),
            1);
  EXPECT_EQ(m_record.task_name, "before");
  EXPECT_EQ(m_record.task_comment, "");
}

TEST_F(PlainTaskFile, NegativeLengthOrCutRecordKeepsWhatWasRead) {
  ASSERT_EQ(read(plain_record(kMarkerLine) + plain_record("ZIP_TASK_NAME = kept") + tasktest::le32(0xFFFFFFFF) +
                 "ZIP_TASK_COMMENT = x"),
            1);
  EXPECT_EQ(m_record.task_name, "kept");
  EXPECT_EQ(m_record.task_comment, "");

  m_record.reset();
  const std::string cut = plain_record("ZIP_TASK_COMMENT = whole line").substr(0, 10);
  ASSERT_EQ(read(plain_record(kMarkerLine) + plain_record("ZIP_TASK_NAME = kept too") + cut), 1);
  EXPECT_EQ(m_record.task_name, "kept too");
  EXPECT_EQ(m_record.task_comment, "");

  EXPECT_EQ(read(plain_record(kMarkerLine).substr(0, 20)), 0);  // marker record cut short
  EXPECT_EQ(read(std::string("\x29\0", 2)), 0);                    // not even a length
}

TEST_F(PlainTaskFile, MissingEmptyOrFolderIsRefused) {
  EXPECT_EQ(tasks::read_task_info_file(m_dir + "/none.task_info.txt", &m_record), 0);
  EXPECT_EQ(m_record.cmdline_task_path, m_dir + "/none.task_info.txt");
  EXPECT_EQ(read(""), 0);
  EXPECT_EQ(tasks::read_task_info_file(m_dir, &m_record), 0);
  EXPECT_EQ(tasks::read_task_info_file("", &m_record), 0);
}

TEST_F(PlainTaskFile, OverlongLineIsCutTo16384BytesAndEndsReadingThere) {
  core::OperationRecord r = tasktest::sample_record(m_path);
  r.file_list = std::string(20000, 'f');
  const std::vector<std::string> lines = tasks::format_task_info_lines(r);
  ASSERT_EQ(lines.size(), 16u);
  EXPECT_EQ(lines[12].size(), tasks::kTaskLineBufferBytes);
  ASSERT_EQ(tasks::write_task_info_file(&r), 1);
  ASSERT_EQ(tasks::read_task_info_file(m_path, &m_record), 1);
  EXPECT_EQ(m_record.originating_folder, r.originating_folder);  // the line before it
  EXPECT_EQ(m_record.file_list, "");
  EXPECT_EQ(m_record.log_file_name, "");  // after it: not seen
}

// ---- the destination and log lines, in both forms -------------------------------

TEST_F(PlainTaskFile, DestinationAndLogLinesAndOlderFilesWithoutThem) {
  struct Case {
    const char* what;
    std::vector<std::string> lines;  // after the marker line
    int log_enabled;
    std::string destination;
  };
  const Case cases[] = {
      {"older file naming a log file", {"ZIP_LOG_FILE_NAME = /l/run.log"}, 1, ""},
      {"older file without a log file", {"ZIP_TASK_NAME = t"}, 0, ""},
      {"log line off beats the log file", {"ZIP_LOG_FILE_NAME = /l/run.log", "ZIP_LOG_ENABLED = 0"}, 0, ""},
      {"log line on before the log file", {"ZIP_LOG_ENABLED = 1", "ZIP_LOG_FILE_NAME = /l/run.log"}, 1, ""},
      {"log line on without a log file", {"ZIP_LOG_ENABLED = 1"}, 1, ""},
      {"destination keeps its blanks", {"ZIP_DESTINATION_FOLDER_NAME =  /out/a b "}, 0, " /out/a b "},
      {"destination after a key-less line", {"junk", "ZIP_DESTINATION_FOLDER_NAME = /o"}, 0, "/o"},
  };
  for (const bool protect : {false, true}) {
    for (const Case& c : cases) {
      std::vector<std::string> lines = {kMarkerLine};
      lines.insert(lines.end(), c.lines.begin(), c.lines.end());
      if (protect) {
        tasks::TaskFileCipherStream stream;
        ASSERT_EQ(stream.open_for_writing(m_path.c_str()), 0);
        for (const std::string& line : lines) ASSERT_EQ(stream.write_line(line.c_str()), 0);
        ASSERT_TRUE(stream.close());
      } else {
        std::string bytes;
        for (const std::string& line : lines) bytes += plain_record(line);
        write_bytes(m_path, bytes);
      }
      m_record = core::OperationRecord{};  // reset() keeps the log file name
      m_record.reset();
      ASSERT_EQ(tasks::read_any_task_info_file(m_path, &m_record), tasks::TaskFileVerdict::kAccepted) << c.what;
      EXPECT_EQ(m_record.log_enabled, c.log_enabled) << c.what << (protect ? " (protected)" : " (plain)");
      EXPECT_EQ(m_record.destination_folder, c.destination) << c.what << (protect ? " (protected)" : " (plain)");
    }
  }
}

// ---- file name -----------------------------------------------------------------

TEST(TaskFileName, SeparatorOnlyWhenNeeded) {
  std::string path;
  ASSERT_TRUE(tasks::task_info_file_path("/home/a/docs", "Nightly", &path));
  EXPECT_EQ(path, "/home/a/docs/Nightly.task_info.txt");
  ASSERT_TRUE(tasks::task_info_file_path("/home/a/docs/", "Nightly", &path));
  EXPECT_EQ(path, "/home/a/docs/Nightly.task_info.txt");
  ASSERT_TRUE(tasks::task_info_file_path("C:\\Docs\\", "Nightly", &path));
  EXPECT_EQ(path, "C:\\Docs\\Nightly.task_info.txt");
}

TEST(TaskFileName, EmptyFolderGivesTheNameAndSuffixAlone) {
  std::string path;
  ASSERT_TRUE(tasks::task_info_file_path("", "Extract job", &path));
  EXPECT_EQ(path, "Extract job.task_info.txt");
}

TEST(TaskFileName, JoinOver259CharactersIsRefused) {
  std::string path = "untouched";
  const std::string folder = "/" + std::string(200, 'd');  // 201 characters, plus "/"
  EXPECT_TRUE(tasks::task_info_file_path(folder, std::string(57, 'n'), &path));  // 259
  EXPECT_EQ(path, folder + "/" + std::string(57, 'n') + ".task_info.txt");
  path = "untouched";
  EXPECT_FALSE(tasks::task_info_file_path(folder, std::string(58, 'n'), &path));  // 260
  EXPECT_EQ(path, "untouched");
  EXPECT_FALSE(tasks::task_info_file_path(std::string(300, 'd'), "", &path));
}

}  // namespace
