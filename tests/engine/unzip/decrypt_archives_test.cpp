/* tests/engine/unzip/decrypt_archives_test.cpp - decrypting what other programs encrypted.
 *
 * Risk: a cipher that agrees with its own writer but not with the archives
 * in the wild.  Every encrypted member of the sample archives (traditional,
 * ZIP AES AE-1/AE-2 at all strengths, strong encryption) and of archives made
 * here with 7-Zip must decrypt to exactly its compressed data: stored
 * members equal their content, deflated ones inflate (with Python's zlib as
 * the control) to data with the published CRC-32.  The expected CRCs are the
 * ones the sample archives' sources publish for the decoded members.
 */
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "decrypt_test_util.h"
#include "engine/include/ostrana_results.h"
#include "peer_run.h"
#include "test_env.h"

using namespace ostrana;
using decrypt_test::crc_of;
using decrypt_test::fixture;
using decrypt_test::run_decrypt;

namespace {

struct Expectation {
  const char* archive;
  const char* password;
  CipherScheme scheme;
  std::map<std::string, uint32_t> decoded_crcs;  ///< published CRC-32 of each member's content
};

/// The AES format keeps the real method in its 0x9901 block.
uint16_t real_method(const testenv::WalkedItem& item) {
  auto block = item.extra_block(0x9901);
  return block.size() >= 11 ? static_cast<uint16_t>(block[9] | (block[10] << 8)) : item.method;
}

void check_archive(const Expectation& e) {
  SCOPED_TRACE(e.archive);
  const auto archive = fixture(e.archive);
  size_t checked = 0;
  for (const auto& item : testenv::walk_zip(archive)) {
    if ((item.flags & 1) == 0) continue;
    SCOPED_TRACE(item.name);
    auto run = run_decrypt(archive, item, e.password);
    ASSERT_EQ(0, run.open_rc);
    ASSERT_EQ(0, run.read_rc);
    EXPECT_EQ(0, run.verify_rc);
    EXPECT_EQ(e.scheme, run.scheme);
    EXPECT_EQ(e.scheme == CipherScheme::kZipAes, run.authenticates);
    auto content = real_method(item) == 8 ? decrypt_test::python_inflate(run.data) : run.data;
    ASSERT_EQ(1u, e.decoded_crcs.count(item.name));
    EXPECT_EQ(e.decoded_crcs.at(item.name), crc_of(content));
    EXPECT_EQ(item.uncompressed_size, content.size());
    ++checked;
  }
  EXPECT_EQ(e.decoded_crcs.size(), checked);
}

}  // namespace

TEST(DecryptArchives, TraditionalSamples) {
  check_archive({"sharpcompress/zipcrypto.zip", "test", CipherScheme::kTraditional,
                 {{"brown.txt", 0x5ebc8aea}, {"dog.txt", 0x1ce2272b}, {"fox.txt", 0x7bb1e13e},
                  {"jumps.txt", 0x50e56685}, {"lazy.txt", 0x5e343b10}, {"over.txt", 0x00000000},
                  {"quick.txt", 0x2aed86fa}, {"the.txt", 0x3c456de6}}});
  // Flag bit 3: the header's check byte is the DOS time's high byte.
  check_archive({"libarchive/traditional_encryption_data.zip", "12345678", CipherScheme::kTraditional,
                 {{"bar.txt", 0xa4d8fd47}, {"foo.txt", 0xb493c7eb}}});
}

TEST(DecryptArchives, ZipAesSamples) {
  check_archive({"zip2/aes_archive.zip", "helloworld", CipherScheme::kZipAes,
                 {{"secret_data_128", 0x5f29d461}, {"secret_data_192", 0x5f29d461},
                  {"secret_data_256", 0x5f29d461}, {"secret_data_256_uncompressed", 0x5f29d461}}});
  check_archive({"sharpcompress/Zip.deflate.WinzipAES.zip", "test", CipherScheme::kZipAes,
                 {{"exe/test.exe", 0xcfb109c8}, {"jpg/test.jpg", 0x088814e3}, {"\xd1\x82\xd0\xb5\xd1\x81\xd1\x82.txt", 0x9bd160fa}}});
  check_archive({"libarchive/winzip_aes256.zip", "password", CipherScheme::kZipAes, {{"README", 0x864d90bb}}});
}

TEST(DecryptArchives, StrongEncryptionSamples) {
  check_archive({"libarchive/encryption_data.zip", "12345678", CipherScheme::kStrong,
                 {{"bar.txt", 0xa1992ae8}, {"foo.txt", 0x5206ccff}}});
  check_archive({"zip4jvm/deflate_solid_aes256_strong.zip", "1", CipherScheme::kStrong,
                 {{"ducati-panigale-1199.jpg", 0xedf5f6ab}, {"honda-cbr600rr.jpg", 0x3424afa6},
                  {"kawasaki-ninja-300.jpg", 0x5c89f301}, {"suzuki-gsxr750.jpg", 0xac4b6c8c}}});
}

TEST(DecryptArchives, StrongEncryptionWithoutStoredIv) {
  // Made by tests/data/crypto/make_strong_iv0.py and read by 7-Zip: the IV is
  // CRC-32 + 64-bit size, hashed as 12 bytes; empty content either padded to
  // one block or with an empty body.
  const auto archive = testenv::read_file(std::string(OSTRANA_TEST_DATA) + "/crypto/strong_iv0.zip");
  const std::string text = std::string("Strong encryption without a stored IV.\n") +
                           "Strong encryption without a stored IV.\n" + "Strong encryption without a stored IV.\n";
  const std::map<std::string, std::string> expected = {{"iv0_aes128.txt", text},
                                                       {"iv0_aes192.txt", text.substr(0, 48)},
                                                       {"iv0_aes256.txt", text.substr(0, 5)},
                                                       {"iv0_empty_padded.txt", ""},
                                                       {"iv0_empty_bare.txt", ""}};
  if (testenv::have_7zz()) {
    // The other reader of the format agrees (it refuses only the bare empty body).
    const std::string path = testenv::shell_quote(std::string(OSTRANA_TEST_DATA) + "/crypto/strong_iv0.zip");
    EXPECT_EQ(0, testenv::run_command("7zz t -bso0 -bse0 -psecret " + path +
                                      " iv0_aes128.txt iv0_aes192.txt iv0_aes256.txt iv0_empty_padded.txt"));
    EXPECT_NE(0, testenv::run_command("7zz t -bso0 -bse0 -pSecret " + path + " iv0_aes128.txt"));
  }
  auto items = testenv::walk_zip(archive);
  ASSERT_EQ(expected.size(), items.size());
  for (const auto& item : items) {
    SCOPED_TRACE(item.name);
    auto run = run_decrypt(archive, item, "secret");
    ASSERT_EQ(0, run.open_rc);
    ASSERT_EQ(0, run.read_rc);
    EXPECT_EQ(expected.at(item.name), std::string(run.data.begin(), run.data.end()));
    EXPECT_EQ(OU_BAD_PASSWORD, run_decrypt(archive, item, "Secret").open_rc);
  }
}

TEST(DecryptArchives, TripleDesStrongEncryptionIsRefused) {
  const auto archive = fixture("zip4jvm/store_solid_3des168_strong.zip");
  for (const auto& item : testenv::walk_zip(archive)) {
    EXPECT_EQ(OU_BAD_PASSWORD, run_decrypt(archive, item, "1").open_rc) << item.name;
    EXPECT_EQ(CipherScheme::kStrong, item_cipher_scheme([&] {
                ItemDataInfo info;
                info.flags = item.flags;
                return info;
              }()));
  }
}

TEST(DecryptArchives, SevenZipMadeArchivesInEveryCipher) {
  if (!testenv::have_7zz()) GTEST_SKIP() << "7zz not installed";
  const std::string dir = testenv::make_temp_dir("sevenzip-crypto");
  std::mt19937 rng(7);
  std::map<std::string, std::vector<uint8_t>> files;
  std::string text;
  while (text.size() < 150000) text += "line " + std::to_string(rng() % 1000) + " of a compressible text\n";
  files["text.txt"] = std::vector<uint8_t>(text.begin(), text.end());
  files["noise.bin"].resize(40000);
  for (auto& b : files["noise.bin"]) b = static_cast<uint8_t>(rng());
  files["one.txt"] = {'x'};
  files["empty.txt"] = {};
  std::string names;
  for (const auto& [name, bytes] : files) {
    testenv::write_file(dir + "/" + name, bytes);
    names += " " + name;
  }
  const char* password = "p4ss w0rd!";  // 7-Zip takes only ASCII passwords for ZIP
  for (const char* cipher : {"ZipCrypto", "AES128", "AES192", "AES256"}) {
    for (const char* level : {"0", "5"}) {
      SCOPED_TRACE(std::string(cipher) + " level " + level);
      const std::string zip = dir + "/" + cipher + level + ".zip";
      ASSERT_EQ(0, testenv::run_command("cd " + testenv::shell_quote(dir) + " && 7zz a -tzip -bso0 -bsp0 -mx=" + level +
                                        " -mem=" + cipher + " -p" + testenv::shell_quote(password) + " " +
                                        testenv::shell_quote(zip) + names));
      const auto archive = testenv::read_file(zip);
      for (const auto& item : testenv::walk_zip(archive)) {
        SCOPED_TRACE(item.name);
        auto run = run_decrypt(archive, item, password);
        if ((item.flags & 1) == 0) {  // 7-Zip leaves empty files unencrypted
          EXPECT_EQ(0u, item.uncompressed_size);
          continue;
        }
        ASSERT_EQ(0, run.open_rc);
        ASSERT_EQ(0, run.read_rc);
        EXPECT_EQ(0, run.verify_rc);
        EXPECT_EQ(std::string(cipher) == "ZipCrypto" ? CipherScheme::kTraditional : CipherScheme::kZipAes, run.scheme);
        auto content = real_method(item) == 8 ? decrypt_test::python_inflate(run.data) : run.data;
        EXPECT_TRUE(content == files.at(item.name));
        auto wrong = run_decrypt(archive, item, "p4ss word");
        // Refused at the header or verifier, caught by the authentication code,
        // or (traditional, 1 in 256) let through to data that differs.  A stored
        // empty item has no data to differ: for it the header is the only check.
        const bool nothing_to_differ = run.data.empty() && run.scheme == CipherScheme::kTraditional;
        EXPECT_TRUE(wrong.open_rc == OU_BAD_PASSWORD || wrong.verify_rc == OU_BAD_CRC || wrong.data != run.data ||
                    nothing_to_differ);
      }
    }
  }
}
