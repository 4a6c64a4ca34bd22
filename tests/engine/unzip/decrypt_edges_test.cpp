/* tests/engine/unzip/decrypt_edges_test.cpp - the checks that decide a password is wrong or an item damaged.
 *
 * Risks: a wrong password that slips through as garbage, damage reported as
 * a wrong password (or not at all), a header field trusted without a check,
 * a source that reads past the item or not up to its authentication code.
 * Items come from the sample archives, changed byte by byte where a case
 * needs it, or are built here with the engine's own primitives where no
 * other program writes the case (a wrong password that hits the verifier).
 */
#include <gtest/gtest.h>

#include <cstring>

#include "decrypt_test_util.h"
#include "engine/common/aes_ctr.h"
#include "engine/common/hmac_sha1.h"
#include "engine/common/key_derivation.h"
#include "engine/include/ostrana_results.h"

using namespace ostrana;
using decrypt_test::DecryptRun;
using decrypt_test::fixture;
using decrypt_test::run_decrypt;
using decrypt_test::run_decrypt_info;
using testenv::WalkedItem;

namespace {

const WalkedItem& item_named(const std::vector<WalkedItem>& items, const std::string& name) {
  for (const auto& it : items)
    if (it.name == name) return it;
  throw std::runtime_error("no item " + name);
}

/// @p archive with the byte at @p offset of the item's data XORed with @p mask.
std::vector<uint8_t> flip(std::vector<uint8_t> archive, const WalkedItem& item, size_t offset, uint8_t mask = 0x01) {
  archive.at(item.data_offset + offset) ^= mask;
  return archive;
}

void put_le16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
  b.at(at) = static_cast<uint8_t>(v);
  b.at(at + 1) = static_cast<uint8_t>(v >> 8);
}

/// A ZIP AES item (stored) encrypted under @p password but carrying the
/// verifier that @p verifier_password derives: the case of a wrong password
/// that happens to match the 2-byte verifier.
struct BuiltAesItem {
  std::vector<uint8_t> block, payload;
  ItemDataInfo info(const char* password) const {
    ItemDataInfo i;
    i.flags = 0x0001;
    i.compressed_size = payload.size();
    i.aes_block = block.data();
    i.aes_block_nbytes = block.size();
    i.password = password;
    return i;
  }
};

BuiltAesItem build_aes_item(const std::string& password, const std::string& verifier_password, int strength,
                            const std::vector<uint8_t>& plain) {
  std::vector<uint8_t> salt(zip_aes_salt_nbytes(strength));
  for (size_t i = 0; i < salt.size(); ++i) salt[i] = static_cast<uint8_t>(0xA0 + i);
  ZipAesKeys keys, vkeys;
  auto pw = [](const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); };
  EXPECT_EQ(0, zip_aes_derive_keys(pw(password), password.size(), strength, salt.data(), &keys));
  EXPECT_EQ(0, zip_aes_derive_keys(pw(verifier_password), verifier_password.size(), strength, salt.data(), &vkeys));
  std::vector<uint8_t> data = plain;
  ZipAesCtr ctr;
  ctr.setup(keys.aes_key, keys.key_nbytes);
  ctr.transform(data.data(), data.size());
  HmacSha1 mac(keys.hmac_key, keys.key_nbytes);
  mac.update(data.data(), data.size());
  uint8_t code[20];
  mac.finish(code);
  BuiltAesItem item;
  // tag 0x9901, size 7, vendor version 2, "AE", strength, method 0 (stored)
  item.block = {0x01, 0x99, 0x07, 0x00, 0x02, 0x00, 'A', 'E', static_cast<uint8_t>(strength), 0x00, 0x00};
  item.payload = salt;
  item.payload.insert(item.payload.end(), vkeys.verifier, vkeys.verifier + 2);
  item.payload.insert(item.payload.end(), data.begin(), data.end());
  item.payload.insert(item.payload.end(), code, code + kZipAesMacBytes);
  return item;
}

}  // namespace

/*****************************************************************************
 *                                Traditional                                *
 *****************************************************************************/

TEST(DecryptTraditional, FlagBit3ChecksTheDosTimeNotTheCrc) {
  const auto archive = fixture("libarchive/traditional_encryption_data.zip");
  for (const auto& item : testenv::walk_zip(archive)) {
    ASSERT_NE(item.flags & 0x0008, 0);
    ASSERT_NE(item.crc32 >> 24, static_cast<uint32_t>(item.dos_time >> 8)) << "the two check bytes must differ";
    EXPECT_EQ(0, run_decrypt(archive, item, "12345678").open_rc);
    // The same item taken as if its CRC were known in advance: the check fails.
    EXPECT_EQ(OU_BAD_PASSWORD, run_decrypt(archive, item, "12345678", [](ItemDataInfo& i) { i.flags &= ~0x0008; }).open_rc);
  }
  const auto plain_crc = fixture("sharpcompress/zipcrypto.zip");
  const auto zipcrypto_items = testenv::walk_zip(plain_crc);
  const auto& brown = item_named(zipcrypto_items, "brown.txt");
  ASSERT_NE(brown.crc32 >> 24, static_cast<uint32_t>(brown.dos_time >> 8));
  EXPECT_EQ(0, run_decrypt(plain_crc, brown, "test").open_rc);
  EXPECT_EQ(OU_BAD_PASSWORD, run_decrypt(plain_crc, brown, "test", [](ItemDataInfo& i) { i.flags |= 0x0008; }).open_rc);
}

TEST(DecryptTraditional, WrongMissingOrOverlongPasswordIs44) {
  const auto archive = fixture("sharpcompress/zipcrypto.zip");
  const auto all_items = testenv::walk_zip(archive);
  const auto& item = item_named(all_items, "brown.txt");
  EXPECT_EQ(OU_BAD_PASSWORD, run_decrypt(archive, item, "Test").open_rc);
  EXPECT_EQ(OU_BAD_PASSWORD, run_decrypt(archive, item, nullptr).open_rc);
  EXPECT_EQ(OU_BAD_PASSWORD, run_decrypt(archive, item, "").open_rc);
  // 129 characters never reach the cipher, even when the first 128 would be right.
  const std::string overlong = "test" + std::string(125, 'x');
  EXPECT_EQ(OU_BAD_PASSWORD, run_decrypt(archive, item, overlong.c_str()).open_rc);
}

TEST(DecryptTraditional, ItemShorterThanItsHeaderIsMalformed) {
  const auto archive = fixture("sharpcompress/zipcrypto.zip");
  const auto all_items = testenv::walk_zip(archive);
  const auto& item = item_named(all_items, "over.txt");
  EXPECT_EQ(OU_BAD_STRUCTURE,
            run_decrypt(archive, item, "test", [](ItemDataInfo& i) { i.compressed_size = 11; }).open_rc);
}

/*****************************************************************************
 *                                 ZIP AES                                   *
 *****************************************************************************/

TEST(DecryptZipAes, ChangedDataByteIsCaughtByTheAuthenticationCode) {
  const auto archive = fixture("libarchive/winzip_aes256.zip");
  const auto items = testenv::walk_zip(archive);
  const auto& item = items.at(0);
  ASSERT_EQ(0, run_decrypt(archive, item, "password").verify_rc);
  auto run = run_decrypt(flip(archive, item, 16 + 2 + 100), item, "password");  // after salt and verifier
  EXPECT_EQ(0, run.open_rc);
  EXPECT_EQ(0, run.read_rc);
  EXPECT_EQ(OU_BAD_CRC, run.verify_rc);
  EXPECT_TRUE(run.authenticates);  // the caller skips the CRC: the code is the check
  // A changed byte of the stored code itself.
  EXPECT_EQ(OU_BAD_CRC, run_decrypt(flip(archive, item, item.compressed_size - 1), item, "password").verify_rc);
}

TEST(DecryptZipAes, VendorIdOtherThanAeIs44EvenWithTheRightPassword) {
  const auto archive = fixture("zip2/aes_archive.zip");
  const auto all_items = testenv::walk_zip(archive);
  const auto& item = item_named(all_items, "secret_data_256");
  auto block = item.extra_block(0x9901);
  ASSERT_EQ(11u, block.size());
  ASSERT_EQ(0, run_decrypt(archive, item, "helloworld").open_rc);
  auto with_block = [&](std::vector<uint8_t> b) {
    return run_decrypt(archive, item, "helloworld", [&b](ItemDataInfo& i) {
      i.aes_block = b.data();
      i.aes_block_nbytes = b.size();
    });
  };
  auto changed = [&](size_t at, uint8_t value) {
    auto b = block;
    b[at] = value;
    return b;
  };
  EXPECT_EQ(OU_BAD_PASSWORD, with_block(changed(6, 'X')).open_rc);  // vendor id "AX"
  EXPECT_EQ(OU_BAD_PASSWORD, with_block(changed(7, 'A')).open_rc);  // vendor id "AA"
  EXPECT_EQ(OU_BAD_PASSWORD, with_block(changed(4, 3)).open_rc);    // vendor version 3
  EXPECT_EQ(OU_BAD_PASSWORD, with_block(changed(8, 0)).open_rc);    // strength 0
  EXPECT_EQ(OU_BAD_PASSWORD, with_block(changed(8, 4)).open_rc);    // strength 4
  EXPECT_EQ(OU_BAD_PASSWORD, with_block(changed(0, 0x02)).open_rc); // another tag
  auto short_block = block;
  put_le16(short_block, 2, 6);  // declares 6 data bytes: no room for the strength's method
  short_block.resize(10);
  EXPECT_EQ(OU_BAD_PASSWORD, with_block(short_block).open_rc);
  auto lying_block = block;
  put_le16(lying_block, 2, 40);  // declares more than it has
  EXPECT_EQ(OU_BAD_PASSWORD, with_block(lying_block).open_rc);
  EXPECT_EQ(0, with_block(changed(4, 1)).open_rc);  // AE-1 reads the same way
}

TEST(DecryptZipAes, WrongPasswordThatHitsTheVerifierIsCaughtByTheCode) {
  const std::vector<uint8_t> plain = {'s', 'e', 'c', 'r', 'e', 't', ' ', 'd', 'a', 't', 'a'};
  for (int strength = 1; strength <= 3; ++strength) {
    auto right = build_aes_item("right one", "right one", strength, plain);
    auto good = run_decrypt_info(right.info("right one"), right.payload);
    ASSERT_EQ(0, good.open_rc);
    EXPECT_EQ(0, good.verify_rc);
    EXPECT_EQ(plain, good.data);
    EXPECT_EQ(OU_BAD_PASSWORD, run_decrypt_info(right.info("wrong one"), right.payload).open_rc);

    auto tricky = build_aes_item("right one", "wrong one", strength, plain);
    auto bad = run_decrypt_info(tricky.info("wrong one"), tricky.payload);
    ASSERT_EQ(0, bad.open_rc) << "the verifier matches";
    EXPECT_EQ(OU_BAD_CRC, bad.verify_rc);
  }
}

TEST(DecryptZipAes, VerifyEndReadsWhatTheConsumerLeft) {
  const auto archive = fixture("libarchive/winzip_aes256.zip");
  const auto items = testenv::walk_zip(archive);
  const auto& item = items.at(0);
  ItemDataInfo info;
  auto block = item.extra_block(0x9901);
  info.flags = item.flags;
  info.compressed_size = item.compressed_size;
  info.aes_block = block.data();
  info.aes_block_nbytes = block.size();
  info.password = "password";
  MemorySource raw(archive.data() + item.data_offset, item.compressed_size + 50);
  std::unique_ptr<ItemDataSource> source;
  ASSERT_EQ(0, open_item_data(info, raw, &source));
  uint8_t buf[10];
  ASSERT_EQ(10, source->read(buf, sizeof(buf)));
  EXPECT_EQ(0, source->verify_end());
  EXPECT_EQ(0, source->verify_end());  // idempotent
  EXPECT_EQ(50u, raw.remaining());      // and not a byte further than the item
}

TEST(DecryptZipAes, PayloadTooShortOrCutShort) {
  const auto archive = fixture("zip2/aes_archive.zip");
  const auto all_items = testenv::walk_zip(archive);
  const auto& item = item_named(all_items, "secret_data_128");
  // Salt 8 + verifier 2 + code 10: 19 bytes cannot hold an item.
  EXPECT_EQ(OU_BAD_STRUCTURE,
            run_decrypt(archive, item, "helloworld", [](ItemDataInfo& i) { i.compressed_size = 19; }).open_rc);
  // The archive ends inside the authentication code.
  std::vector<uint8_t> cut(archive.begin(), archive.begin() + item.data_offset + item.compressed_size - 3);
  auto run = run_decrypt(cut, item, "helloworld");
  EXPECT_EQ(0, run.open_rc);
  EXPECT_EQ(OU_UNEXPECTED_EOF, run.verify_rc);
}

/*****************************************************************************
 *                             Strong encryption                             *
 *****************************************************************************/

namespace {

// Offsets in the decryption header of libarchive/encryption_data.zip (IV size 16):
// IV size 0, IV 2, remaining size 18, format 22, algorithm 24, bit length 26,
// flags 28, random data size 30, random data 32 (144), reserved count 176,
// validation size 180, validation data 182 (128), file data 310.
struct StrongFixture {
  std::vector<uint8_t> archive = fixture("libarchive/encryption_data.zip");
  std::vector<WalkedItem> items = testenv::walk_zip(archive);
  const WalkedItem& bar = item_named(items, "bar.txt");

  std::vector<uint8_t> with_le16(size_t at, uint16_t v) const {
    auto a = archive;
    put_le16(a, bar.data_offset + at, v);
    return a;
  }
  std::vector<uint8_t> with_le32(size_t at, uint32_t v) const {
    auto a = with_le16(at, static_cast<uint16_t>(v));
    put_le16(a, bar.data_offset + at + 2, static_cast<uint16_t>(v >> 16));
    return a;
  }
};

}  // namespace

TEST(DecryptStrong, WrongOrMissingPasswordIs44) {
  StrongFixture f;
  EXPECT_EQ(0, run_decrypt(f.archive, f.bar, "12345678").open_rc);
  EXPECT_EQ(OU_BAD_PASSWORD, run_decrypt(f.archive, f.bar, "12345679").open_rc);
  EXPECT_EQ(OU_BAD_PASSWORD, run_decrypt(f.archive, f.bar, nullptr).open_rc);
  EXPECT_EQ(OU_BAD_PASSWORD, run_decrypt(f.archive, f.bar, "").open_rc);
}

TEST(DecryptStrong, MalformedDecryptionHeaderIs3) {
  StrongFixture f;
  const char* pw = "12345678";
  EXPECT_EQ(OU_BAD_STRUCTURE, run_decrypt(f.with_le16(0, 17), f.bar, pw).open_rc);          // IV longer than 16
  EXPECT_EQ(OU_BAD_STRUCTURE, run_decrypt(f.with_le32(18, 0), f.bar, pw).open_rc);          // remaining size 0
  EXPECT_EQ(OU_BAD_STRUCTURE, run_decrypt(f.with_le32(18, 100000), f.bar, pw).open_rc);     // beyond the item
  EXPECT_EQ(OU_BAD_STRUCTURE, run_decrypt(f.with_le16(22, 2), f.bar, pw).open_rc);          // format 2
  EXPECT_EQ(OU_BAD_STRUCTURE, run_decrypt(f.with_le16(24, 0x660F), f.bar, pw).open_rc);     // algorithm differs
  EXPECT_EQ(OU_BAD_STRUCTURE, run_decrypt(f.with_le16(26, 192), f.bar, pw).open_rc);        // key length differs
  EXPECT_EQ(OU_BAD_STRUCTURE, run_decrypt(f.with_le16(28, 3), f.bar, pw).open_rc);          // flags differ
  EXPECT_EQ(OU_BAD_STRUCTURE, run_decrypt(f.with_le16(30, 0), f.bar, pw).open_rc);          // no random data
  EXPECT_EQ(OU_BAD_STRUCTURE, run_decrypt(f.with_le16(30, 143), f.bar, pw).open_rc);        // not whole blocks
  EXPECT_EQ(OU_BAD_STRUCTURE, run_decrypt(f.with_le32(176, 0x7FFFFFFF), f.bar, pw).open_rc);// reserved beyond the item
  EXPECT_EQ(OU_BAD_STRUCTURE, run_decrypt(f.with_le16(180, 0), f.bar, pw).open_rc);         // no validation data
  // File data that is not whole blocks.
  EXPECT_EQ(OU_BAD_STRUCTURE,
            run_decrypt(f.archive, f.bar, pw, [](ItemDataInfo& i) { i.compressed_size -= 1; }).open_rc);
  // An item shorter than its header.
  EXPECT_EQ(OU_BAD_STRUCTURE,
            run_decrypt(f.archive, f.bar, pw, [](ItemDataInfo& i) { i.compressed_size = 100; }).open_rc);
}

TEST(DecryptStrong, UnsupportedAlgorithmsAndMissingBlockAre44) {
  StrongFixture f;
  auto block = f.bar.extra_block(0x0017);
  ASSERT_EQ(16u, block.size());
  for (uint16_t algorithm : {0x6601, 0x6602, 0x6603, 0x6609, 0x6702, 0x6801, 0xFFFF}) {
    auto b = block;
    put_le16(b, 6, algorithm);
    EXPECT_EQ(OU_BAD_PASSWORD, run_decrypt(f.archive, f.bar, "12345678", [&b](ItemDataInfo& i) {
                                 i.strong_block = b.data();
                                 i.strong_block_nbytes = b.size();
                               }).open_rc)
        << std::hex << algorithm;
  }
  auto no_password_flag = block;
  put_le16(no_password_flag, 10, 0x0002);  // certificates only
  EXPECT_EQ(OU_BAD_PASSWORD, run_decrypt(f.archive, f.bar, "12345678", [&](ItemDataInfo& i) {
                               i.strong_block = no_password_flag.data();
                             }).open_rc);
  // Flag bit 6 with no 0x0017 block names no cipher: refused, not tried as traditional.
  EXPECT_EQ(OU_BAD_PASSWORD, run_decrypt(f.archive, f.bar, "12345678", [](ItemDataInfo& i) {
                               i.strong_block = nullptr;
                               i.strong_block_nbytes = 0;
                             }).open_rc);
}

TEST(DecryptStrong, KeyLengthThatIsNotTheAlgorithmsIs22) {
  StrongFixture f;
  auto block = f.bar.extra_block(0x0017);
  put_le16(block, 8, 128);  // AES-256 said to have 128-bit keys, in the block and in the header alike
  auto archive = f.with_le16(26, 128);
  EXPECT_EQ(OU_DECRYPTION_FAILED, run_decrypt(archive, f.bar, "12345678", [&](ItemDataInfo& i) {
                                    i.strong_block = block.data();
                                  }).open_rc);
}

TEST(DecryptStrong, BadPaddingOfTheLastBlockIsDamage) {
  StrongFixture f;
  // bar.txt: 20 bytes in two blocks.  Flipping the last byte of the first
  // cipher block flips the last plain byte of the second: its pad length.
  auto run = run_decrypt(flip(f.archive, f.bar, 310 + 15), f.bar, "12345678");
  EXPECT_EQ(0, run.open_rc);
  EXPECT_EQ(OU_BAD_CRC, run.read_rc);
  auto good = run_decrypt(f.archive, f.bar, "12345678", {}, 1);  // one byte at a time
  EXPECT_EQ(0, good.read_rc);
  EXPECT_EQ(20u, good.data.size());
}

/*****************************************************************************
 *                       Plain items and truncated data                      *
 *****************************************************************************/

TEST(ItemData, PlainItemsPassThroughExactlyTheirCompressedSize) {
  std::vector<uint8_t> raw(100);
  for (size_t i = 0; i < raw.size(); ++i) raw[i] = static_cast<uint8_t>(i);
  ItemDataInfo info;
  info.compressed_size = 60;
  info.aes_block = raw.data();  // blocks of an item without flag bit 0 are not looked at
  info.aes_block_nbytes = 11;
  auto run = run_decrypt_info(info, raw, 7);
  ASSERT_EQ(0, run.open_rc);
  EXPECT_EQ(CipherScheme::kNone, run.scheme);
  EXPECT_FALSE(run.authenticates);
  EXPECT_EQ(std::vector<uint8_t>(raw.begin(), raw.begin() + 60), run.data);
  EXPECT_EQ(0, run.verify_rc);
  info.compressed_size = 0;
  EXPECT_TRUE(run_decrypt_info(info, raw).data.empty());
}

TEST(ItemData, ArchiveEndingInsideTheDataIsUnexpectedEnd) {
  ItemDataInfo plain;
  plain.compressed_size = 60;
  EXPECT_EQ(OU_UNEXPECTED_EOF, run_decrypt_info(plain, std::vector<uint8_t>(59)).read_rc);

  const auto trad = fixture("libarchive/traditional_encryption_data.zip");
  const auto titems = testenv::walk_zip(trad);
  const auto& titem = titems.at(0);
  std::vector<uint8_t> cut(trad.begin(), trad.begin() + titem.data_offset + 20);  // 29 bytes stored
  EXPECT_EQ(OU_UNEXPECTED_EOF, run_decrypt(cut, titem, "12345678").read_rc);
  std::vector<uint8_t> cut_header(trad.begin(), trad.begin() + titem.data_offset + 5);
  EXPECT_EQ(OU_UNEXPECTED_EOF, run_decrypt(cut_header, titem, "12345678").open_rc);

  StrongFixture f;
  std::vector<uint8_t> cut_strong(f.archive.begin(), f.archive.begin() + f.bar.data_offset + 320);
  EXPECT_EQ(OU_UNEXPECTED_EOF, run_decrypt(cut_strong, f.bar, "12345678").read_rc);
}
