/* tests/engine/unzip/expand_driver_test.cpp - the per-item driver of the expanders.
 *
 * Risk: the contract around the expanders going wrong while the expanders
 * are right - an unknown method writing output before it is refused, a
 * cancel that is ignored or loses the code, a sink's "disk full" turned into
 * something else, a stored item growing without bound, an authentication
 * code read before the rest of the data, buffers of one item leaking into
 * the next.
 */
#include <gtest/gtest.h>

#include <cstring>

#include "engine/unzip/expand.h"
#include "expander_test_support.h"

using namespace ostrana;
using namespace exptest;

namespace {

class RecordingHooks : public ExpandHooks {
 public:
  int item_started() override {
    ++started;
    return cancel_at_start;
  }
  int output_progress(uint64_t out_nbytes, uint64_t in_nbytes) override {
    progress.emplace_back(out_nbytes, in_nbytes);
    return progress.size() == cancel_after_reports ? 1 : 0;
  }
  int read_auth_code() override {
    ++auth_reads;
    if (source != nullptr) left_at_auth = source->remaining();
    return auth_result;
  }

  int started = 0;
  int cancel_at_start = 0;
  size_t cancel_after_reports = 0;
  std::vector<std::pair<uint64_t, uint64_t>> progress;
  int auth_reads = 0;
  int auth_result = 0;
  const PieceSource* source = nullptr;  ///< whose unread bytes to note when the code is read
  size_t left_at_auth = SIZE_MAX;
};

/// A source that fails after handing out some bytes.
class FailingSource final : public ByteSource {
 public:
  FailingSource(std::vector<uint8_t> data, int code) : m_data(std::move(data)), m_code(code) {}
  std::ptrdiff_t read(uint8_t* buf, size_t avail) override {
    if (m_pos == m_data.size()) return -1;
    const size_t n = std::min(avail, m_data.size() - m_pos);
    std::memcpy(buf, m_data.data() + m_pos, n);
    m_pos += n;
    return static_cast<std::ptrdiff_t>(n);
  }
  int error() const override { return m_code; }

 private:
  std::vector<uint8_t> m_data;
  size_t m_pos = 0;
  int m_code;
};

ExpandRequest request(uint16_t method, uint64_t size, ByteSource* source, ByteSink* sink,
                      ExpandHooks* hooks = nullptr) {
  ExpandRequest r;
  r.method = method;
  r.uncompressed_nbytes = size;
  r.source = source;
  r.sink = sink;
  r.hooks = hooks;
  return r;
}

std::vector<uint8_t> pattern(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 7 + i / 251);
  return v;
}

/// "abc" x 3 as one fixed-Huffman deflate block.
std::vector<uint8_t> small_deflate() {
  BitWriter w;
  w.put(1, 1);
  w.put(1, 2);
  for (char c : {'a', 'b', 'c'}) put_fixed_litlen(w, static_cast<unsigned char>(c));
  put_fixed_length(w, 6);
  put_fixed_distance(w, 3);
  put_fixed_litlen(w, 256);
  return w.bytes();
}

TEST(ExpandDriver, UnknownMethodsAreRefusedBeforeAnyOutput) {
  const std::vector<uint8_t> data = pattern(100);
  for (uint16_t method : {uint16_t{7}, uint16_t{10}, uint16_t{12}, uint16_t{19}, uint16_t{99}}) {
    PieceSource src(data.data(), data.size(), 0);
    CollectSink sink;
    RecordingHooks hooks;
    ExpandRequest r = request(method, 100, &src, &sink, &hooks);
    EXPECT_EQ(kExpandUnknownMethod, expand_item(r)) << method;
    EXPECT_EQ(0u, sink.writes) << method;
    EXPECT_EQ(data.size(), src.remaining()) << method;  // nothing read
    EXPECT_EQ(1, hooks.started) << method;              // the start was reported, as for every item
    EXPECT_TRUE(hooks.progress.empty()) << method;
  }
  EXPECT_FALSE(expand_supports_method(7));
  EXPECT_TRUE(expand_supports_method(9));
}

TEST(ExpandDriver, MissingSourceOrSinkIsABadRequest) {
  CollectSink sink;
  ExpandRequest r;
  r.sink = &sink;
  EXPECT_EQ(kExpandBadRequest, expand_item(r));
  const std::vector<uint8_t> data = pattern(10);
  PieceSource src(data.data(), data.size(), 0);
  ExpandRequest s;
  s.source = &src;
  EXPECT_EQ(kExpandBadRequest, expand_item(s));
}

TEST(ExpandDriver, StoreCopiesThroughOutputBuffersOfTheModesSize) {
  const std::vector<uint8_t> data = pattern(300000);
  for (size_t piece : {size_t{0}, size_t{1000}, size_t{65536}}) {
    ExpandOutcome f = expand(zip::kMethodStore, data, data.size(), ExpandMode::kToFile, 0, piece);
    EXPECT_EQ(kExpandOk, f.rc);
    EXPECT_EQ(data, f.out);
    EXPECT_EQ(61440u, f.largest_write);
    ExpandOutcome m = expand(zip::kMethodStore, data, data.size(), ExpandMode::kToMemory, 0, piece);
    EXPECT_EQ(kExpandOk, m.rc);
    EXPECT_EQ(data, m.out);
    EXPECT_EQ(8192u, m.largest_write);
  }
  EXPECT_EQ(kExpandOk, expand(zip::kMethodStore, {}, 0).rc);
}

TEST(ExpandDriver, OvergrowthStopsBeyondAThousandBytesOutsideTheMemoryModes) {
  const std::vector<uint8_t> data = pattern(5000);
  ExpandOutcome at_limit = expand(zip::kMethodStore, data, 4000);
  EXPECT_EQ(kExpandOk, at_limit.rc);  // 1,000 bytes beyond: still accepted
  EXPECT_EQ(5000u, at_limit.out.size());
  ExpandOutcome over = expand(zip::kMethodStore, data, 3999);
  EXPECT_EQ(kExpandOvergrown, over.rc);
  EXPECT_EQ(4999u, over.out.size());  // delivered up to the limit, then stopped
  for (ExpandMode mode : {ExpandMode::kToMemory, ExpandMode::kMemoryToMemory}) {
    ExpandOutcome m = expand(zip::kMethodStore, data, 10, mode);
    EXPECT_EQ(kExpandOk, m.rc);
    EXPECT_EQ(data, m.out);
  }
  // Deflate output past the size stops the same way.
  ExpandOutcome d = expand(zip::kMethodDeflate, small_deflate(), 0);
  EXPECT_EQ(kExpandOk, d.rc);  // 9 bytes, within the allowance
}

TEST(ExpandDriver, CancelAtStartReadsNothing) {
  const std::vector<uint8_t> data = pattern(1000);
  PieceSource src(data.data(), data.size(), 0);
  CollectSink sink;
  RecordingHooks hooks;
  hooks.cancel_at_start = 1;
  ExpandRequest r = request(zip::kMethodStore, 1000, &src, &sink, &hooks);
  EXPECT_EQ(kExpandCancelled, expand_item(r));
  EXPECT_EQ(0u, sink.writes);
  EXPECT_EQ(data.size(), src.remaining());
}

TEST(ExpandDriver, CancelFromProgressStopsAfterThatBuffer) {
  const std::vector<uint8_t> raw = pattern(400000);
  for (uint16_t method : {zip::kMethodStore, zip::kMethodDeflate}) {
    SCOPED_TRACE(method);
    std::vector<uint8_t> data = raw;
    if (method == zip::kMethodDeflate) {
      // Stored blocks of a deflate stream, built by hand.
      BitWriter w;
      for (size_t at = 0; at < raw.size(); at += 65535) {
        const size_t n = std::min<size_t>(65535, raw.size() - at);
        w.put(at + n == raw.size() ? 1 : 0, 1);
        w.put(0, 2);
        w.align();
        w.put(static_cast<uint32_t>(n), 16);
        w.put(static_cast<uint32_t>(~n), 16);
        for (size_t i = 0; i < n; ++i) w.put_byte(raw[at + i]);
      }
      data = w.bytes();
    }
    PieceSource src(data.data(), data.size(), 0);
    CollectSink sink;
    RecordingHooks hooks;
    hooks.cancel_after_reports = 2;
    ExpandRequest r = request(method, raw.size(), &src, &sink, &hooks);
    Expander ex;
    EXPECT_EQ(kExpandCancelled, ex.expand(r));
    EXPECT_EQ(2u, hooks.progress.size());
    EXPECT_EQ(2u * 61440, sink.bytes.size());
    EXPECT_EQ(sink.bytes.size(), ex.out_nbytes());
    EXPECT_TRUE(std::equal(sink.bytes.begin(), sink.bytes.end(), raw.begin()));
    // Progress reports count output and compressed input.
    EXPECT_EQ(61440u, hooks.progress[0].first);
    EXPECT_EQ(122880u, hooks.progress[1].first);
    EXPECT_GE(hooks.progress[1].second, hooks.progress[0].second);
    EXPECT_GT(hooks.progress[0].second, 0u);
  }
}

TEST(ExpandDriver, SinkAndSourceFailuresPassTheirCodesOn) {
  const std::vector<uint8_t> raw = pattern(200000);
  for (uint16_t method : {zip::kMethodStore, zip::kMethodDeflate}) {
    SCOPED_TRACE(method);
    const std::vector<uint8_t> data = method == zip::kMethodStore ? raw : small_deflate();
    PieceSource src(data.data(), data.size(), 0);
    CollectSink sink;
    sink.refuse_after = 4;  // a full memory block, or a disk
    ExpandRequest r = request(method, method == zip::kMethodStore ? raw.size() : 9, &src, &sink);
    EXPECT_EQ(kExpandOutputFull, expand_item(r));
  }
  // A source that fails (a volume that cannot be read, a decryption error)
  // ends the item with the source's own code, or "damaged" without one.
  for (int code : {int{OU_ARCHIVE_OPEN_FAILED}, 0}) {
    for (uint16_t method : {zip::kMethodStore, zip::kMethodDeflate, zip::kMethodShrink}) {
      FailingSource src(pattern(3), code);
      CollectSink sink;
      ExpandRequest r = request(method, 100, &src, &sink);
      EXPECT_EQ(code != 0 ? code : kExpandDamaged, expand_item(r)) << method;
    }
  }
}

TEST(ExpandDriver, AuthenticatedItemsAreReadToTheirEndBeforeTheCode) {
  std::vector<uint8_t> data = small_deflate();
  data.insert(data.end(), 5000, 0x33);  // bytes the expander does not need
  for (bool authenticated : {true, false}) {
    PieceSource src(data.data(), data.size(), 100);
    CollectSink sink;
    RecordingHooks hooks;
    hooks.auth_result = OU_BAD_CRC;
    hooks.source = &src;
    ExpandRequest r = request(zip::kMethodDeflate, 9, &src, &sink, &hooks);
    r.authenticated = authenticated;
    const int rc = expand_item(r);
    EXPECT_EQ(std::vector<uint8_t>({'a', 'b', 'c', 'a', 'b', 'c', 'a', 'b', 'c'}), sink.bytes);
    if (authenticated) {
      EXPECT_EQ(OU_BAD_CRC, rc);  // the hook's verdict is the item's
      EXPECT_EQ(1, hooks.auth_reads);
      EXPECT_EQ(0u, hooks.left_at_auth);  // all of the data was read first
    } else {
      EXPECT_EQ(kExpandOk, rc);
      EXPECT_EQ(0, hooks.auth_reads);
    }
  }
}

TEST(ExpandDriver, OneExpanderServesItemsOfEveryMethodInTurn) {
  const std::vector<uint8_t> shrink = testenv::read_file(std::string(OSTRANA_FIXTURES) + "/commons-compress/SHRUNK.ZIP");
  const std::vector<uint8_t> implode =
      testenv::read_file(std::string(OSTRANA_FIXTURES) + "/commons-compress/imploding-4Kdict-2trees.zip");
  const std::vector<uint8_t> reduce = testenv::read_file(std::string(OSTRANA_FIXTURES) + "/zip2/reduce.zip");
  const std::vector<uint8_t> d64 = testenv::read_file(std::string(OSTRANA_FIXTURES) + "/commons-compress/lorem-ipsum-deflate64.zip");
  struct Item {
    uint16_t method;
    uint16_t flags;
    std::vector<uint8_t> data;
    uint64_t size;
    uint32_t crc;
  };
  std::vector<Item> items;
  for (const auto* archive : {&shrink, &implode, &reduce, &d64})
    for (const testenv::WalkedItem& m : testenv::walk_zip(*archive))
      items.push_back({m.method, m.flags,
                       member_data(*archive, m),
                       m.uncompressed_size, m.crc32});
  const std::vector<uint8_t> abc = small_deflate();
  items.push_back({zip::kMethodDeflate, 0, abc, 9, reference_crc32({'a', 'b', 'c', 'a', 'b', 'c', 'a', 'b', 'c'})});
  const std::vector<uint8_t> stored = pattern(70000);
  items.push_back({zip::kMethodStore, 0, stored, stored.size(), reference_crc32(stored)});

  Expander ex;
  for (int round = 0; round < 3; ++round) {
    for (size_t i = 0; i < items.size(); ++i) {
      const Item& it = items[(i * 5 + round) % items.size()];
      PieceSource src(it.data.data(), it.data.size(), 0);
      CollectSink sink;
      ExpandRequest r = request(it.method, it.size, &src, &sink);
      r.flags = it.flags;
      r.compressed_nbytes = it.data.size();
      r.mode = round == 1 ? ExpandMode::kToMemory : ExpandMode::kToFile;
      ASSERT_EQ(kExpandOk, ex.expand(r)) << "method " << it.method;
      EXPECT_EQ(it.size, ex.out_nbytes());
      EXPECT_EQ(it.crc, reference_crc32(sink.bytes)) << "method " << it.method;
    }
  }
}

}  // namespace
