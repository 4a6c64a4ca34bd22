/* tests/tasks/protected_task_file_test.cpp - the protected task info file.
 *
 * The main risk is a file that only this program can read back: the byte-for-
 * byte test rebuilds the whole file from the header layout with openssl's AES
 * and an independent bitwise CRC-32, not with the code under test.  The rest
 * pins the cipher stream's result codes and the reader's handling of altered
 * headers, odd record lengths and the 16,368-character limit.
 */
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "hex.h"
#include "task_file_util.h"
#include "tasks/protected_task_file.h"
#include "tasks/task_info_file.h"
#include "tasks/task_info_lines.h"
#include "test_env.h"

namespace {

using tasks::TaskFileCipherStream;
using tasktest::read_bytes;
using tasktest::write_bytes;

const uint8_t kFixedRandom[16] = {0x78, 0x56, 0x34, 0x12, 0xaa, 0xbb, 0xcd, 0xab,
                                  0x10, 0x21, 0x32, 0x43, 0x54, 0x65, 0x76, 0x87};

TaskFileCipherStream::RandomSource fixed_random(const uint8_t* bytes = kFixedRandom) {
  return [bytes](uint8_t out[16]) {
    std::memcpy(out, bytes, 16);
    return true;
  };
}

uint32_t bitwise_crc32(const uint8_t* p, size_t n) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; ++i) {
    crc ^= p[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

std::string hex_of(const std::string& s) {
  return testenv::to_hex(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

class ProtectedTaskFile : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = testenv::make_temp_dir("protected-task");
    m_path = m_dir + "/p.task_info.txt";
    m_record.reset();
  }
  /// Writes a file of the given lines with fixed random values.
  void write_lines(const std::vector<std::string>& lines, const uint8_t* random = kFixedRandom) {
    TaskFileCipherStream stream(fixed_random(random));
    ASSERT_EQ(stream.open_for_writing(m_path.c_str()), 0);
    for (const auto& line : lines) ASSERT_EQ(stream.write_line(line.c_str()), 0);
    stream.close();
  }
  std::string m_dir, m_path;
  core::OperationRecord m_record;
};

TEST_F(ProtectedTaskFile, MatchesAFileBuiltIndependentlyWithOpenssl) {
  const core::OperationRecord written = tasktest::sample_record(m_path);
  ASSERT_EQ(tasks::write_protected_task_info_file(&written, fixed_random()), 1);

  // Header values from the GUID layout of the 16 random bytes.
  const uint32_t g1 = 0x12345678;                                   // Data1
  const uint32_t g2 = 0xabcdu << 16 | uint32_t(0x32) << 8 | 0x87;   // Data3, Data4[2], Data4[7]
  const uint8_t b1 = 0x21, b2 = 0x54;                               // Data4[1], Data4[4]
  char key_text[9], iv_text[9];
  std::snprintf(key_text, sizeof key_text, "%08x", g1);
  std::snprintf(iv_text, sizeof iv_text, "%02x%04x%02x", b1, g2 >> 16, b2);
  ASSERT_STREQ(key_text, "12345678");
  ASSERT_STREQ(iv_text, "21abcd54");
  const uint32_t crc = bitwise_crc32(reinterpret_cast<const uint8_t*>(iv_text), 8);

  std::string expected;
  expected += static_cast<char>(crc & 0xFF);
  expected += static_cast<char>((crc >> 8) & 0xFF);
  expected += tasktest::le32(g1) + tasktest::le32(g2);
  expected += static_cast<char>(b1);
  expected += static_cast<char>(b2);

  // The lines, each with its zero byte and zero padding to 16, enciphered as one CBC stream.
  std::string plain;
  std::vector<size_t> sizes;
  for (const std::string& line : tasktest::sample_record_lines()) {
    std::string padded = line;
    padded.resize((padded.size() + 15) / 16 * 16, '\0');
    sizes.push_back(padded.size());
    plain += padded;
  }
  const std::string plain_path = m_dir + "/plain.bin", cipher_path = m_dir + "/cipher.bin";
  write_bytes(plain_path, plain);
  const std::string command = "openssl enc -aes-128-cbc -nopad -K " + hex_of(std::string(key_text, 8) + std::string(8, '\0')) +
                              " -iv " + hex_of(std::string(iv_text, 8) + std::string(8, '\0')) + " -in '" + plain_path +
                              "' -out '" + cipher_path + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  const std::string cipher = read_bytes(cipher_path);
  ASSERT_EQ(cipher.size(), plain.size());
  size_t at = 0;
  for (size_t n : sizes) {
    expected += tasktest::le32(static_cast<uint32_t>(n)) + cipher.substr(at, n);
    at += n;
  }
  EXPECT_EQ(hex_of(read_bytes(m_path)), hex_of(expected));
  EXPECT_FALSE(std::filesystem::exists(m_path + ".part"));

  // And it reads back.
  ASSERT_EQ(tasks::read_protected_task_info_file(m_path, &m_record), tasks::ProtectedRead::kAccepted);
  EXPECT_EQ(m_record.task_name, written.task_name);
  EXPECT_EQ(m_record.file_list, written.file_list);
  EXPECT_EQ(m_record.stored_operation, 1);
  EXPECT_EQ(m_record.log_file_name, written.log_file_name);
  EXPECT_EQ(m_record.cmdline_task_path, m_path);
}

TEST_F(ProtectedTaskFile, TwoWritesOfOneRecordDiffer) {
  const core::OperationRecord r = tasktest::sample_record(m_path);
  ASSERT_EQ(tasks::write_protected_task_info_file(&r), 1);
  const std::string first = read_bytes(m_path);
  ASSERT_EQ(tasks::write_protected_task_info_file(&r), 1);
  const std::string second = read_bytes(m_path);
  ASSERT_EQ(first.size(), second.size());
  EXPECT_NE(first.substr(0, 12), second.substr(0, 12));
  EXPECT_NE(first.substr(16, 48), second.substr(16, 48));  // the marker line's ciphertext
  for (const std::string* bytes : {&first, &second}) {
    write_bytes(m_path, *bytes);
    m_record.reset();
    EXPECT_EQ(tasks::read_protected_task_info_file(m_path, &m_record), tasks::ProtectedRead::kAccepted);
    EXPECT_EQ(m_record.task_name, "Nightly backup");
  }
}

TEST_F(ProtectedTaskFile, AlteredHeaderBytes) {
  write_lines({"PRJ_TAG = _PARVELL_SECURE_TASK_FILE_INFO_", "ZIP_TASK_NAME = T"});
  const std::string good = read_bytes(m_path);
  auto altered = [&](size_t offset) {
    std::string bytes = good;
    bytes[offset] = static_cast<char>(bytes[offset] ^ 0x01);
    write_bytes(m_path, bytes);
    TaskFileCipherStream stream;
    return stream.open_for_reading(m_path.c_str());
  };
  EXPECT_EQ(altered(0), tasks::kStreamHeaderMismatch);   // check value
  EXPECT_EQ(altered(1), tasks::kStreamHeaderMismatch);
  EXPECT_EQ(altered(8), tasks::kStreamHeaderMismatch);   // G2 high half (H)
  EXPECT_EQ(altered(9), tasks::kStreamHeaderMismatch);
  EXPECT_EQ(altered(10), tasks::kStreamHeaderMismatch);  // B1
  EXPECT_EQ(altered(11), tasks::kStreamHeaderMismatch);  // B2
  EXPECT_EQ(altered(6), tasks::kStreamOk);               // G2 low half: not covered, ignored

  // A changed G1 passes the header, but the key differs and the marker no longer deciphers.
  EXPECT_EQ(altered(2), tasks::kStreamOk);
  m_record.reset();
  EXPECT_EQ(tasks::read_protected_task_info_file(m_path, &m_record), tasks::ProtectedRead::kRefused);
  EXPECT_EQ(m_record.task_name, "");
  EXPECT_EQ(tasks::read_any_task_info_file(m_path, &m_record), tasks::TaskFileVerdict::kRefused);

  // A changed IV byte: the protected reader cannot open it, the plain reader refuses it.
  altered(10);
  int opened = 0;
  EXPECT_EQ(tasks::read_protected_task_info_file(m_path, &m_record, &opened), tasks::ProtectedRead::kNotOpened);
  EXPECT_EQ(opened, tasks::kStreamHeaderMismatch);
  EXPECT_EQ(tasks::read_any_task_info_file(m_path, &m_record), tasks::TaskFileVerdict::kRefused);
}

TEST_F(ProtectedTaskFile, ZeroLengthRecordIsAnEmptyLineAndReadingGoesOn) {
  write_lines({"PRJ_TAG = _PARVELL_SECURE_TASK_FILE_INFO_", "ZIP_TASK_NAME = after the gap"});
  std::string bytes = read_bytes(m_path);
  const size_t second_record = 12 + 4 + 48;
  bytes.insert(second_record, tasktest::le32(0));
  write_bytes(m_path, bytes);

  TaskFileCipherStream stream;
  ASSERT_EQ(stream.open_for_reading(m_path.c_str()), 0);
  std::string line;
  ASSERT_EQ(stream.read_line(&line), 0);
  EXPECT_EQ(line, "PRJ_TAG = _PARVELL_SECURE_TASK_FILE_INFO_");
  ASSERT_EQ(stream.read_line(&line), 0);
  EXPECT_EQ(line, "");
  ASSERT_EQ(stream.read_line(&line), 0);
  EXPECT_EQ(line, "ZIP_TASK_NAME = after the gap");
  EXPECT_EQ(stream.read_line(&line), tasks::kStreamNoFile);  // the end
  stream.close();

  ASSERT_EQ(tasks::read_protected_task_info_file(m_path, &m_record), tasks::ProtectedRead::kAccepted);
  EXPECT_EQ(m_record.task_name, "after the gap");
}

TEST_F(ProtectedTaskFile, LengthNotAMultipleOf16EndsReadingQuietly) {
  write_lines({"PRJ_TAG = _PARVELL_SECURE_TASK_FILE_INFO_", "ZIP_TASK_NAME = kept", "ZIP_TASK_COMMENT = lost"});
  std::string bytes = read_bytes(m_path);
  const size_t third_record = 12 + (4 + 48) + (4 + 32);
  bytes.insert(third_record, tasktest::le32(17) + std::string(17, 'x'));
  write_bytes(m_path, bytes);
  ASSERT_EQ(tasks::read_protected_task_info_file(m_path, &m_record), tasks::ProtectedRead::kAccepted);
  EXPECT_EQ(m_record.task_name, "kept");
  EXPECT_EQ(m_record.task_comment, "");
}

TEST_F(ProtectedTaskFile, ShortRecordGives20) {
  write_lines({"PRJ_TAG = _PARVELL_SECURE_TASK_FILE_INFO_", "ZIP_TASK_NAME = cut"});
  std::string bytes = read_bytes(m_path);
  write_bytes(m_path, bytes.substr(0, bytes.size() - 5));
  TaskFileCipherStream stream;
  ASSERT_EQ(stream.open_for_reading(m_path.c_str()), 0);
  std::string line;
  EXPECT_EQ(stream.read_line(&line), 0);
  EXPECT_EQ(stream.read_line(&line), tasks::kStreamShortRecord);
}

TEST_F(ProtectedTaskFile, PlainFileGives21EmptyFileGives1) {
  const core::OperationRecord r = tasktest::sample_record(m_path);
  ASSERT_EQ(tasks::write_task_info_file(&r), 1);
  TaskFileCipherStream stream;
  EXPECT_EQ(stream.open_for_reading(m_path.c_str()), tasks::kStreamHeaderMismatch);
  EXPECT_EQ(tasks::read_any_task_info_file(m_path, &m_record), tasks::TaskFileVerdict::kAccepted);
  EXPECT_EQ(m_record.task_name, "Nightly backup");

  write_bytes(m_path, "");
  EXPECT_EQ(stream.open_for_reading(m_path.c_str()), tasks::kStreamNoFile);
  EXPECT_EQ(stream.open_for_reading((m_dir + "/missing").c_str()), tasks::kStreamNoFile);
  EXPECT_EQ(stream.open_for_reading(nullptr), tasks::kStreamNoFile);
  EXPECT_EQ(stream.open_for_reading(""), tasks::kStreamNoFile);
  write_bytes(m_path, "short");
  EXPECT_EQ(stream.open_for_reading(m_path.c_str()), tasks::kStreamHeaderMismatch);
  EXPECT_EQ(tasks::read_any_task_info_file(m_path, &m_record), tasks::TaskFileVerdict::kRefused);
}

TEST_F(ProtectedTaskFile, LineLimit16368RoundTrips16369DoesNot) {
  const std::string key = "ZIP_TASK_COMMENT = ";
  const std::string fits = key + std::string(16368 - key.size(), 'a');
  const std::string over = key + std::string(16369 - key.size(), 'b');
  write_lines({"PRJ_TAG = _PARVELL_SECURE_TASK_FILE_INFO_", fits, "ZIP_TASK_NAME = next"});
  ASSERT_EQ(tasks::read_protected_task_info_file(m_path, &m_record), tasks::ProtectedRead::kAccepted);
  EXPECT_EQ(m_record.task_comment.size(), 16368 - key.size());
  EXPECT_EQ(m_record.task_name, "next");

  m_record.reset();
  write_lines({"PRJ_TAG = _PARVELL_SECURE_TASK_FILE_INFO_", "ZIP_TASK_NAME = before", over, "ZIP_TASK_NAME = after"});
  ASSERT_EQ(tasks::read_protected_task_info_file(m_path, &m_record), tasks::ProtectedRead::kAccepted);
  EXPECT_EQ(m_record.task_comment, "");
  EXPECT_EQ(m_record.task_name, "before");
}

TEST_F(ProtectedTaskFile, WriteAndReadLineResultCodes) {
  TaskFileCipherStream stream(fixed_random());
  std::string line;
  EXPECT_EQ(stream.write_line("x"), tasks::kStreamNotOpen);
  EXPECT_EQ(stream.read_line(&line), tasks::kStreamNotOpen);
  EXPECT_EQ(stream.open_for_writing(nullptr), tasks::kStreamNoFile);
  EXPECT_EQ(stream.open_for_writing((m_dir + "/no/such/folder").c_str()), tasks::kStreamNoFile);
  ASSERT_EQ(stream.open_for_writing(m_path.c_str()), 0);
  EXPECT_EQ(stream.write_line(nullptr), tasks::kStreamNoText);
  EXPECT_EQ(stream.write_line(""), tasks::kStreamOk);
  EXPECT_EQ(stream.write_line(std::string(16384, 'z').c_str()), tasks::kStreamLineTooLong);
  EXPECT_EQ(stream.write_line(std::string(16383, 'z').c_str()), tasks::kStreamOk);  // written, unreadable
  stream.close();
  EXPECT_EQ(read_bytes(m_path).size(), 12u + 4u + 16384u);  // the empty and the refused line wrote nothing

  ASSERT_EQ(stream.open_for_reading(m_path.c_str()), 0);
  EXPECT_EQ(stream.read_line(nullptr), tasks::kStreamNoBuffer);
  EXPECT_EQ(stream.read_line(&line), tasks::kStreamNoFile);  // 16384 is out of range
}

TEST_F(ProtectedTaskFile, NoRandomValuesNoFile) {
  TaskFileCipherStream stream([](uint8_t*) { return false; });
  EXPECT_EQ(stream.open_for_writing(m_path.c_str()), tasks::kStreamNoFile);
  EXPECT_FALSE(std::filesystem::exists(m_path));
  const core::OperationRecord r = tasktest::sample_record(m_path);
  EXPECT_EQ(tasks::write_protected_task_info_file(&r, [](uint8_t*) { return false; }), 0);
  EXPECT_FALSE(std::filesystem::exists(m_path + ".part"));
  EXPECT_EQ(tasks::write_protected_task_info_file(nullptr), 0);
}

TEST_F(ProtectedTaskFile, HeaderLayoutFromRandomBytes) {
  const auto header = TaskFileCipherStream::header_from_random(kFixedRandom);
  EXPECT_EQ(header.g1, 0x12345678u);
  EXPECT_EQ(header.g2, 0xabcd3287u);
  EXPECT_EQ(header.b1, 0x21);
  EXPECT_EQ(header.b2, 0x54);
  const auto key = TaskFileCipherStream::key_text(header);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(key.data()), 16), std::string("12345678\0\0\0\0\0\0\0\0", 16));
  EXPECT_EQ(header.check, bitwise_crc32(reinterpret_cast<const uint8_t*>("21abcd54"), 8) & 0xFFFF);
}

}  // namespace
