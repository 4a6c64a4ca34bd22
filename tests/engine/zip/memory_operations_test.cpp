/* tests/engine/zip/memory_operations_test.cpp - the writer's memory operations and activity log.
 *
 * Risks: the memory-to-memory stream out of step with what the unzip side
 * reads (header, sizes, CRC, data); output lost when the caller takes it in
 * small pieces; a caller that takes nothing or lies about lengths hanging
 * the run or overrunning a buffer; callback data written without its data
 * descriptor; the memory-block entry or the activity log lines missing.
 */
#include <algorithm>
#include <cstring>

#include "engine/common/crc32.h"
#include "engine/common/zip_records.h"
#include "reference_inflate.h"
#include "zip_writer_test_util.h"

using writertest::WriterTest;

namespace {

/// A data callback over an input text and an output vector.
struct DataEnds {
  std::string input;
  size_t input_at = 0;
  size_t piece = 1000;          ///< most bytes delivered or taken per call
  uint32_t take_limit = ~0u;    ///< most bytes taken per output call
  bool overstate = false;       ///< report more bytes than asked for
  std::vector<uint8_t> output;

  static void proc(int direction, uint8_t* buffer, uint32_t* length, uint32_t pos_low, uint32_t, uint32_t,
                   uint32_t, void* user, int32_t* status) {
    auto* self = static_cast<DataEnds*>(user);
    if (direction == OSTRANA_DATA_TO_ENGINE) {
      EXPECT_EQ(self->input_at, pos_low);
      size_t n = std::min<size_t>({*length, self->piece, self->input.size() - self->input_at});
      std::memcpy(buffer, self->input.data() + self->input_at, n);
      self->input_at += n;
      *length = self->overstate ? *length + 1 : static_cast<uint32_t>(n);
      if (self->input_at == self->input.size()) *status = OSTRANA_DATA_END;
      return;
    }
    EXPECT_EQ(self->output.size(), pos_low);
    uint32_t n = std::min(*length, self->take_limit);
    self->output.insert(self->output.end(), buffer, buffer + n);
    *length = n;
  }
};

std::string sample_text() {
  std::string s;
  for (int i = 0; i < 3000; ++i) s += "line " + std::to_string(i * 7919 % 1000) + " of the sample\n";
  return s;
}

class MemoryOperations : public WriterTest {
 protected:
  ZIPCMDSTRUCT memory_record(DataEnds* ends) {
    callback = OSTRANA_CALLBACK_STRUCT{0, DataEnds::proc, ends};
    ZIPCMDSTRUCT cmd = record(ZIP_MEMORY_TO_MEMORY, "");
    cmd.lpszZIPFile = nullptr;
    cmd.lpCallbackStruct = &callback;
    return cmd;
  }
  OSTRANA_CALLBACK_STRUCT callback{};
};

TEST_F(MemoryOperations, MemoryToMemoryHandsOutTheItemAsTheUnzipSideReadsIt) {
  const std::string text = sample_text();
  for (bool from_block : {true, false}) {
    SCOPED_TRACE(from_block ? "memory block" : "data callback");
    DataEnds ends;
    ends.take_limit = 777;  // the caller takes the output in odd pieces
    ends.input = text;
    ZIPCMDSTRUCT cmd = memory_record(&ends);
    if (from_block) {
      cmd.lpMemBlock = const_cast<char*>(text.data());
      cmd.lMemBlockSize = static_cast<uint32_t>(text.size());
    }
    cmd.compFactor = 0;  // raised to 1
    cmd.wZipSubOptions |= ZIP_OPT_ACTIVITY_LOG;
    ASSERT_EQ(0, run(cmd));
    const std::vector<uint8_t>& out = ends.output;
    ASSERT_GT(out.size(), 46u);
    ostrana::zip::CentralHeader h;
    ASSERT_TRUE(ostrana::zip::parse_central_header(out.data(), &h));
    EXPECT_EQ(8, h.method);
    EXPECT_EQ(0x0004, h.flags);  // level 1
    EXPECT_EQ(0u, h.variable_nbytes());
    EXPECT_EQ(text.size(), h.uncompressed_size);
    EXPECT_EQ(out.size() - 46, h.compressed_size);
    EXPECT_EQ(ostrana::crc32(0, reinterpret_cast<const uint8_t*>(text.data()), text.size()), h.crc32);
    refinflate::Result r = refinflate::inflate(out.data() + 46, out.size() - 46, false);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(text, std::string(r.data.begin(), r.data.end()));
    EXPECT_EQ(0, r.blocks_stored) << "no stored blocks where the output cannot be repositioned";
  }
}

TEST_F(MemoryOperations, ACallerThatTakesNothingOrOverstatesEndsTheRun) {
  DataEnds ends;
  ends.input = "some input";
  ends.take_limit = 0;
  ZIPCMDSTRUCT cmd = memory_record(&ends);
  EXPECT_EQ(OZ_WRITE_FAILED, run(cmd));
  EXPECT_NE(std::string::npos,
            shown(OSTRANA_DISPLAY_ERROR).at(0).find("output buffer too small for in-memory compression"));

  DataEnds liar;
  liar.input = "some input";
  liar.overstate = true;
  cmd = memory_record(&liar);
  EXPECT_EQ(OZ_BAD_PARAMETERS, run(cmd));
  EXPECT_NE(std::string::npos, shown(OSTRANA_DISPLAY_ERROR).at(0).find("invalid length"));
}

TEST_F(MemoryOperations, CallbackAndMemoryBlockEntriesGoIntoTheArchive) {
  const std::string log = dir + "/zip-activity.txt";
  messages.replacements.push_back({144, log});
  const std::string text = sample_text();

  // Callback data: flag bit 3 and a 16-byte data descriptor after the data.
  DataEnds ends;
  ends.input = text;
  callback = OSTRANA_CALLBACK_STRUCT{0, DataEnds::proc, &ends};
  ZIPCMDSTRUCT cmd = record(ZIP_ADD_FROM_CALLBACK, "from/callback.txt");
  cmd.lpCallbackStruct = &callback;
  cmd.wZipSubOptions |= ZIP_OPT_ACTIVITY_LOG;
  ASSERT_EQ(0, run(cmd));
  auto items = entries();
  ASSERT_EQ(1u, items.size());
  EXPECT_EQ(0x0008, items[0].flags & 0x0008);
  auto archive = bytes("a.zip");
  size_t end = items[0].data_offset + items[0].compressed_size;
  ASSERT_LE(end + 16, archive.size());
  EXPECT_EQ(ostrana::zip::kDataDescriptorSignature, ostrana::zip::get_le32(archive.data() + end));
  EXPECT_EQ(items[0].crc32, ostrana::zip::get_le32(archive.data() + end + 4));
  refinflate::Result r = refinflate::inflate(archive.data() + items[0].data_offset, items[0].compressed_size, false);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(text, std::string(r.data.begin(), r.data.end()));

  // A memory block: "Memory to File" as the major status; it replaces the
  // entry of the same name, and files named after it are added as usual.
  put("plain.txt", "plain file");
  std::vector<std::string> majors;
  cmd = record(ZIP_ADD, "from/callback.txt plain.txt");
  cmd.lpMemBlock = const_cast<char*>("block data");
  cmd.lMemBlockSize = 10;
  cmd.wZipSubOptions |= ZIP_OPT_ACTIVITY_LOG;
  cmd.lpMajorStatus = [](const char* t, int, void* user) {
    static_cast<std::vector<std::string>*>(user)->push_back(t);
    return 0;
  };
  cmd.lpMajorUserData = &majors;
  ASSERT_EQ(0, run(cmd));
  items = entries();
  ASSERT_EQ(2u, items.size());
  EXPECT_EQ("from/callback.txt", items[0].name);
  EXPECT_EQ(10u, items[0].uncompressed_size);
  EXPECT_EQ(0, items[0].flags & 0x0008);
  EXPECT_NE(majors.end(), std::find(majors.begin(), majors.end(), "Memory to File"));
  EXPECT_NE(majors.end(), std::find(majors.begin(), majors.end(), "Item 2 of 2"));

  ASSERT_EQ(0, zip(ZIP_DELETE, "plain.txt"));
  std::string lines = enginetest::read_text_file(log);
  EXPECT_EQ(0u, lines.find("--- Ostrana Secure ZIP Log - Ostrana Secure Zip Version: 6.00.00 - "));
  EXPECT_NE(std::string::npos, lines.find("\r\nfrom/callback.txt [Memory]\r\n"));
  EXPECT_NE(std::string::npos, lines.find("\r\nplain.txt [Added]\r\n"));
  EXPECT_EQ(std::string::npos, lines.find("[Deleted]")) << "the delete run did not ask for the log";
}

}  // namespace
