/* tests/engine/unzip/extract_memory_test.cpp - functions 9, 10 and 11: items into memory and callbacks.
 *
 * Risks: the caller's block overrun by one byte or by a whole buffer; an item
 * that fits exactly reported as "Disk full"; the starting offset counted in
 * the wrong bytes; a partial extraction failing the CRC it cannot have; the
 * archive-data callback's status words mis-read (a cancel taken as success,
 * data that ends early taken as complete).
 */
#include "extract_fixture.h"

using namespace extracttest;

namespace {

class ExtractMemory : public ExtractFixture {
 protected:
  void SetUp() override {
    ExtractFixture::SetUp();
    text = "0123456789abcdefghijklmnopqrstuvwxyz\n";
    for (int i = 0; i < 12; ++i) text += text;  // 151,552 bytes: several output buffers
    compressed = testenv::run_python(
        "import sys, zlib\n"
        "data = open(sys.argv[1], 'rb').read()\n"
        "c = zlib.compressobj(9, zlib.DEFLATED, -15)\n"
        "open(sys.argv[2], 'wb').write(c.compress(data) + c.flush())\n",
        std::vector<uint8_t>(text.begin(), text.end()));
    testzip::Entry big = stored("dir/big.txt", text);
    big.method = 8;
    big.crc = crc_of(text);
    big.uncompressed_size = text.size();
    big.data = compressed;
    write_archive({stored("small.txt", "tiny"), big});
    cmd.Function = UNZIP_FILETOMEM;
  }

  static uint32_t crc_of(const std::string& s) {
    auto out = testenv::run_python("import sys, zlib\nopen(sys.argv[2], 'w').write(str(zlib.crc32(open(sys.argv[1], 'rb').read())))\n",
                                   std::vector<uint8_t>(s.begin(), s.end()));
    return static_cast<uint32_t>(std::stoul(std::string(out.begin(), out.end())));
  }

  int to_block(const char* filespec, std::vector<char>* block, uint64_t offset = 0) {
    cmd.lpszFilespec = filespec;
    cmd.lpMemBlock = block->data();
    cmd.lMemBlockSize = static_cast<uint32_t>(block->size());
    cmd.lStartingOffset = static_cast<uint32_t>(offset);
    return OstranaUnzip(&cmd);
  }

  std::string text;
  std::vector<uint8_t> compressed;
};

TEST_F(ExtractMemory, BlockRulesSmallerExactAndStartingOffset) {
  // One byte short: 50, and not a byte beyond the block is touched.
  std::vector<char> short_block(text.size() + 8, '#');
  cmd.lpszFilespec = "DIR/BIG.TXT";
  cmd.lpMemBlock = short_block.data();
  cmd.lMemBlockSize = static_cast<uint32_t>(text.size() - 1);
  EXPECT_EQ(OU_DISK_FULL, OstranaUnzip(&cmd));
  EXPECT_EQ(text.substr(0, text.size() - 1), std::string(short_block.data(), text.size() - 1));
  EXPECT_EQ(std::string(9, '#'), std::string(short_block.data() + text.size() - 1, 9));

  std::vector<char> exact(text.size());
  const std::string log = dir + "/activity.txt";
  messages.replacements.push_back({143, log});
  cmd.wUnzipSubOptions |= UNZIP_OPT_ACTIVITY_LOG;
  EXPECT_EQ(OU_SUCCESS, to_block("dir/big.txt", &exact));
  EXPECT_EQ(text, std::string(exact.begin(), exact.end()));
  EXPECT_EQ(1, cmd.returnCount);
  EXPECT_NE(std::string::npos, enginetest::read_text_file(log).find("\r\ndir/big.txt [Memory]\r\n"));

  // From an offset, to the end: no CRC to check, the tail is right.
  std::vector<char> tail(1000);
  EXPECT_EQ(OU_SUCCESS, to_block("dir/big.txt", &tail, text.size() - 1000));
  EXPECT_EQ(text.substr(text.size() - 1000), std::string(tail.begin(), tail.end()));

  // By index (the pattern names nothing single), and through function 11.
  std::vector<char> small(4);
  cmd.Function = UNZIP_FILETOMEM_CALLBACK;
  cmd.index = 0;
  EXPECT_EQ(OU_SUCCESS, to_block("", &small));
  EXPECT_EQ("tiny", std::string(small.begin(), small.end()));
  cmd.index = -1;
  cmd.recurseFlag = 0;
  EXPECT_EQ(OU_NOTHING_TO_DO, to_block("big.txt", &small)) << "a name without its folder matches at the top only";
}

struct Receiver {
  std::string bytes;
  std::vector<uint64_t> positions;
  int status_after = OSTRANA_DATA_MORE;
  size_t cancel_after = 0;  // calls
};

void receive(int direction, uint8_t* buffer, uint32_t* length, uint32_t pos_low, uint32_t pos_high, uint32_t, uint32_t,
             void* user, int32_t* status) {
  auto* r = static_cast<Receiver*>(user);
  ASSERT_EQ(OSTRANA_DATA_FROM_ENGINE, direction);
  r->positions.push_back(static_cast<uint64_t>(pos_high) << 32 | pos_low);
  r->bytes.append(reinterpret_cast<char*>(buffer), *length);
  if (r->cancel_after != 0 && r->positions.size() == r->cancel_after) *status = OSTRANA_DATA_CANCEL;
}

TEST_F(ExtractMemory, FileToCallbackHandsTheBytesOutInOrder) {
  Receiver r;
  OSTRANA_CALLBACK_STRUCT cb{0, receive, &r};
  cmd.Function = UNZIP_FILETOMEM_CALLBACK;
  cmd.lpCallbackStruct = &cb;
  cmd.lpszFilespec = "dir/big.txt";
  EXPECT_EQ(OU_SUCCESS, OstranaUnzip(&cmd));
  EXPECT_EQ(text, r.bytes);
  ASSERT_GT(r.positions.size(), 1u);
  EXPECT_EQ(0u, r.positions[0]);
  Receiver stop;
  stop.cancel_after = 2;
  cb.lpUserData = &stop;
  EXPECT_EQ(OU_USER_CANCELLED, OstranaUnzip(&cmd));
  EXPECT_EQ(2u, stop.positions.size());
}

/// Feeds a central header, its name and the item's data (direction 0) and
/// takes the output (direction 1).
struct Exchange {
  std::vector<uint8_t> feed;
  size_t fed = 0;
  size_t end_at = SIZE_MAX;  // report the end of the data here
  std::string out;
};

void exchange(int direction, uint8_t* buffer, uint32_t* length, uint32_t pos_low, uint32_t, uint32_t, uint32_t,
              void* user, int32_t* status) {
  auto* x = static_cast<Exchange*>(user);
  if (direction == OSTRANA_DATA_FROM_ENGINE) {
    x->out.append(reinterpret_cast<char*>(buffer), *length);
    return;
  }
  EXPECT_EQ(x->fed, pos_low);
  size_t limit = std::min(x->feed.size(), x->end_at);
  size_t n = std::min<size_t>({*length, limit - x->fed, 1000});  // in small pieces
  std::memcpy(buffer, x->feed.data() + x->fed, n);
  x->fed += n;
  *length = static_cast<uint32_t>(n);
  if (x->fed == limit) *status = OSTRANA_DATA_END;
}

TEST_F(ExtractMemory, MemoryToMemoryExpandsAnItemTheCallerHands) {
  // The item as the writer's memory-to-memory output: central header, name, data.
  testzip::Layout layout;
  testzip::Archive built;
  testzip::Entry big = stored("dir/big.txt", text);
  big.method = 8;
  big.crc = crc_of(text);
  big.uncompressed_size = text.size();
  big.data = compressed;
  built.entries = {big};
  std::vector<uint8_t> bytes = testzip::build_with_layout(built, &layout);
  Exchange x;
  x.feed.assign(bytes.begin() + static_cast<std::ptrdiff_t>(layout.directory_offset),
                bytes.begin() + static_cast<std::ptrdiff_t>(layout.directory_offset + layout.directory_nbytes));
  x.feed.insert(x.feed.end(), compressed.begin(), compressed.end());
  OSTRANA_CALLBACK_STRUCT cb{0, exchange, &x};
  const std::string log = dir + "/activity.txt";
  messages.replacements.push_back({143, log});
  cmd.wUnzipSubOptions |= UNZIP_OPT_ACTIVITY_LOG;
  cmd.Function = UNZIP_MEMTOMEM;
  cmd.lpszZIPFile = nullptr;
  cmd.lpCallbackStruct = &cb;
  EXPECT_EQ(OU_SUCCESS, OstranaUnzip(&cmd));
  EXPECT_EQ(text, x.out);
  EXPECT_NE(std::string::npos, enginetest::read_text_file(log).find("\r\nMemory to Memory\r\n"));

  // Data that ends before the item does: 2.
  Exchange early = x;
  early.fed = 0;
  early.out.clear();
  early.end_at = x.feed.size() - 100;
  cb.lpUserData = &early;
  EXPECT_EQ(OU_UNEXPECTED_EOF, OstranaUnzip(&cmd));
  // Not a central header: 3.
  Exchange junk;
  junk.feed.assign(64, 'J');
  cb.lpUserData = &junk;
  EXPECT_EQ(OU_BAD_STRUCTURE, OstranaUnzip(&cmd));
}

}  // namespace

namespace {

// The directory of the last archive is kept between calls; an archive
// rewritten in place within the same second, to the same size, must still be
// read anew (its directory now says other CRCs).
TEST_F(ExtractMemory, AnArchiveRewrittenWithinOneSecondIsReadAnew) {
  write_archive({stored("one.txt", "first")});
  std::vector<char> block(5, '#');
  ASSERT_EQ(0, to_block("one.txt", &block));
  EXPECT_EQ("first", std::string(block.begin(), block.end()));
  write_archive({stored("one.txt", "other")});
  ASSERT_EQ(0, to_block("one.txt", &block));
  EXPECT_EQ("other", std::string(block.begin(), block.end()));
}

}  // namespace
