/* tests/engine/common/names_test.cpp - CP437 names and listing texts.
 *
 * Risks: a name byte that changes on the way through CP437 and back; listing
 * texts that disagree with what the application and `ostrana list` promise.
 */
#include <gtest/gtest.h>

#include "engine/common/cp437.h"
#include "engine/common/listing_text.h"

using namespace ostrana;

TEST(Cp437, AllBytesRoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  std::string utf8;
  cp437_to_utf8(all, &utf8);
  std::string back;
  ASSERT_TRUE(utf8_to_cp437(utf8, &back));
  EXPECT_EQ(all, back);
  // Each upper-half byte becomes a distinct character of 2 or 3 bytes.
  for (int b = 0x80; b < 0x100; ++b) {
    std::string one;
    cp437_to_utf8(std::string(1, static_cast<char>(b)), &one);
    uint32_t cp = 0;
    ASSERT_EQ(one.size(), decode_utf8(one, &cp)) << b;
    EXPECT_EQ(cp437_code_point(static_cast<uint8_t>(b)), cp);
  }
}

TEST(Cp437, KnownCharacters) {
  std::string s;
  cp437_to_utf8("\x80\x81\xE1\xFF", &s);
  EXPECT_EQ("\xC3\x87\xC3\xBC\xC3\x9F\xC2\xA0", s);  // Ç ü ß NBSP
  EXPECT_EQ(0x20A7u, cp437_code_point(0x9E));          // ₧
  EXPECT_EQ(0x2588u, cp437_code_point(0xDB));          // █
  EXPECT_TRUE(is_ascii("plain/name.txt"));
  EXPECT_FALSE(is_ascii("caf\xC3\xA9"));
}

TEST(Cp437, NotRepresentableOrNotUtf8) {
  std::string out;
  EXPECT_TRUE(utf8_to_cp437("caf\xC3\xA9", &out));
  EXPECT_EQ("caf\x82", out);
  EXPECT_FALSE(utf8_to_cp437("\xD1\x82\xD0\xB5\xD1\x81\xD1\x82", &out));  // Cyrillic "тест"
  EXPECT_FALSE(utf8_to_cp437("\xE2\x82\xAC", &out));                      // €
  EXPECT_FALSE(utf8_to_cp437("bad\xC3", &out));                           // cut sequence
  EXPECT_FALSE(utf8_to_cp437("\xC0\xAF", &out));                          // overlong "/"
  EXPECT_FALSE(utf8_to_cp437("\xED\xA0\x80", &out));                      // surrogate
  EXPECT_FALSE(utf8_to_cp437("\xF4\x90\x80\x80", &out));                  // beyond U+10FFFF
  uint32_t cp;
  EXPECT_EQ(4u, decode_utf8("\xF0\x9F\x98\x80", &cp));
  EXPECT_EQ(0x1F600u, cp);
  std::string back;
  append_utf8(0x1F600, &back);
  EXPECT_EQ("\xF0\x9F\x98\x80", back);
}

TEST(ListingText, MethodNames) {
  EXPECT_STREQ("Store", method_name(0));
  EXPECT_STREQ("Shrunk", method_name(1));
  EXPECT_STREQ("Reduce4", method_name(5));
  EXPECT_STREQ("Tokenize", method_name(7));
  EXPECT_STREQ("Deflate", method_name(8));
  EXPECT_STREQ("Deflate64", method_name(9));
  EXPECT_STREQ("Unknown", method_name(10));
  EXPECT_STREQ("Unknown", method_name(99));
  EXPECT_STREQ("Unknown", method_name(-1));
}

TEST(ListingText, EncryptionTexts) {
  EXPECT_EQ("none", encryption_text(false, 0x103));
  EXPECT_EQ("Zip 2.04 Compatible", encryption_text(true, 0));
  EXPECT_EQ("wZip AES-1 [256 bit]", encryption_text(true, 0x103));
  EXPECT_EQ("wZip AES-2 [128 bit]", encryption_text(true, 0x201));
  EXPECT_EQ("wZip AES-2 [default]", encryption_text(true, 0x2FF));
  EXPECT_EQ("AES [192 bit]", encryption_text(true, 0x802));
  EXPECT_EQ("DES [default]", encryption_text(true, 0x900));
  EXPECT_EQ("3DES [112 bit]", encryption_text(true, 0xA00));
  EXPECT_EQ("3DES [168 bit]", encryption_text(true, 0xB00));
  EXPECT_EQ("RC2 [before 5.2]", encryption_text(true, 0xC00));
  EXPECT_EQ("RC2 [5.2 and later]", encryption_text(true, 0xD00));
  EXPECT_EQ("RC4 [default]", encryption_text(true, 0xE00));
  EXPECT_EQ("Unknown", encryption_text(true, 0xFF00));
}

TEST(ListingText, RatioAttributesCrc) {
  EXPECT_EQ("0.0%", ratio_text(0));
  EXPECT_EQ("62.5%", ratio_text(625));
  EXPECT_EQ("100.0%", ratio_text(1000));
  EXPECT_EQ("100.0%", ratio_text(5000));
  EXPECT_EQ("0.0%", ratio_text(-3));
  EXPECT_EQ(625, ratio_per_mille(1000, 375));
  EXPECT_EQ(0, ratio_per_mille(0, 0));
  EXPECT_EQ(0, ratio_per_mille(100, 112));  // grew: nothing saved
  EXPECT_EQ(999, ratio_per_mille(UINT64_MAX, 1000));
  EXPECT_EQ(1000, ratio_per_mille(UINT64_MAX - 5, 1));  // scaled down, still capped
  EXPECT_EQ("A-----  ", attribute_text(0x20));
  EXPECT_EQ("-S----  ", attribute_text(0x10));
  EXPECT_EQ("ASVSHRE ", attribute_text(0x803F));
  EXPECT_EQ("------ L", attribute_text(0x10000));
  EXPECT_EQ("0x0000ABCD", crc_text(0xABCD));
  EXPECT_EQ("0xFFFFFFFF", crc_text(0xFFFFFFFF));
}

// ---- names and comments as stored and as shown ------------------------------------

#include "engine/common/entry_names.h"
#include "engine/common/crc32.h"
#include "engine/common/zip_records.h"

namespace {

std::vector<uint8_t> unicode_path(uint8_t version, const std::string& for_bytes, const std::string& name) {
  std::vector<uint8_t> b(9);
  zip::put_le16(b.data(), 0x7075);
  zip::put_le16(b.data() + 2, static_cast<uint16_t>(5 + name.size()));
  b[4] = version;
  zip::put_le32(b.data() + 5, crc32(0, reinterpret_cast<const uint8_t*>(for_bytes.data()), for_bytes.size()));
  b.insert(b.end(), name.begin(), name.end());
  return b;
}

}  // namespace

TEST(EntryNames, StoredAsTheyAreFlaggedWhenUtf8) {
  EXPECT_EQ(StoredName::kAscii, stored_name_kind("plain/name.txt"));
  EXPECT_EQ(StoredName::kUtf8, stored_name_kind("d\xC3\xA9j\xC3\xA0 vu.txt"));
  EXPECT_EQ(StoredName::kUtf8, stored_name_kind("\xF0\x9F\x8E\x89"));          // an emoji
  EXPECT_EQ(StoredName::kRawBytes, stored_name_kind("bad\xFF.txt"));
  EXPECT_EQ(StoredName::kRawBytes, stored_name_kind("\xC0\xAF"));              // overlong "/"
  EXPECT_EQ(StoredName::kRawBytes, stored_name_kind("\xE6\x97"));              // cut sequence
  EXPECT_EQ(StoredName::kRawBytes, stored_name_kind("\xED\xA0\x80"));          // a surrogate
}

TEST(EntryNames, ShownByFlagUtf8RuleOrCp437) {
  struct Row {
    const char* raw;
    bool flag;
    const char* shown;
  } rows[] = {
      {"plain.txt", false, "plain.txt"},
      {"\xE4\xB8\x96\xE7\x95\x8C", false, "\xE4\xB8\x96\xE7\x95\x8C"},  // "世界" from Go or macOS, unflagged
      {"caf\x82.txt", false, "caf\xC3\xA9.txt"},                       // CP437 é
      {"\x80\x81", false, "\xC3\x87\xC3\xBC"},                         // not UTF-8: CP437
      {"\xC3\xA9", false, "\xC3\xA9"},                                 // valid UTF-8 wins over "├⌐"
      {"bad\xFF", true, "bad\xFF"},                                    // flagged: as it is
  };
  for (const Row& r : rows) EXPECT_EQ(r.shown, shown_text(r.raw, r.flag)) << r.raw;
}

TEST(EntryNames, AMatchingUnicodePathBlockWins) {
  const std::string raw = "caf\x82.txt";
  const std::string utf8 = "caf\xC3\xA9.txt";
  auto good = unicode_path(1, raw, "other \xE2\x9C\x93.txt");
  EXPECT_EQ("other \xE2\x9C\x93.txt", shown_name(raw, 0, good.data(), good.size()));
  // With flag bit 11, or when the block does not fit the stored bytes, it is ignored.
  EXPECT_EQ(raw, shown_name(raw, zip::kFlagUtf8Names, good.data(), good.size()));
  for (auto bad : {unicode_path(1, "stale name", "x.txt"), unicode_path(2, raw, "x.txt"),
                   unicode_path(1, raw, "\xFF\xFE"), unicode_path(1, raw, "")}) {
    EXPECT_EQ(utf8, shown_name(raw, 0, bad.data(), bad.size()));
  }
  // A block cut short by the end of the field is not read past it.
  auto cut = good;
  cut.resize(7);
  EXPECT_EQ(utf8, shown_name(raw, 0, cut.data(), cut.size()));
}
