/* tests/engine/common/aes_crc_test.cpp - known answers for AES and CRC-32.
 *
 * Risk: a wrong table entry or key-schedule step gives a cipher that round-trips
 * with itself but cannot read anything another program wrote.  The vectors are
 * FIPS 197 appendix C and NIST SP 800-38A; CRC-32 is checked against its
 * catalogue value and against split updates.
 */
#include <gtest/gtest.h>

#include <random>

#include "engine/common/aes.h"
#include "engine/common/cpu_features.h"
#include "engine/common/crc32.h"
#include "engine/common/crc32_internal.h"
#include "hex.h"

using namespace ostrana;
using testenv::from_hex;
using testenv::to_hex;

namespace {

struct Fips197Case {
  const char* key;
  const char* cipher;
};

const char kSp800Plain[] =
    "6bc1bee22e409f96e93d7e117393172a ae2d8a571e03ac9c9eb76fac45af8e51"
    "30c81c46a35ce411e5fbc1191a0a52ef f69f2445df4f9b17ad2b417be66c3710";
const char kSp800Key128[] = "2b7e151628aed2a6abf7158809cf4f3c";
const char kSp800Key256[] = "603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4";
const char kSp800Iv[] = "000102030405060708090a0b0c0d0e0f";

std::vector<uint8_t> run(AesCipher::Mode mode, bool encrypt, const char* key, const char* iv,
                         const std::vector<uint8_t>& in) {
  AesCipher cipher;
  auto k = from_hex(key);
  auto v = iv ? from_hex(iv) : std::vector<uint8_t>(16, 0);
  EXPECT_EQ(kAesOk, cipher.setup(k.data(), k.size(), v.data()));
  std::vector<uint8_t> out(in.size());
  int rc = encrypt ? cipher.encrypt(mode, in.data(), out.data(), in.size())
                   : cipher.decrypt(mode, in.data(), out.data(), in.size());
  EXPECT_EQ(kAesOk, rc);
  return out;
}

}  // namespace

TEST(Aes, Fips197AppendixCAllKeySizes) {
  const Fips197Case cases[] = {
      {"000102030405060708090a0b0c0d0e0f", "69c4e0d86a7b0430d8cdb78070b4c55a"},
      {"000102030405060708090a0b0c0d0e0f1011121314151617", "dda97ca4864cdfe06eaf70a0ec0d7191"},
      {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f", "8ea2b7ca516745bfeafc49904b496089"},
  };
  auto plain = from_hex("00112233445566778899aabbccddeeff");
  for (const auto& c : cases) {
    auto key = from_hex(c.key);
    AesKeySchedule enc, dec;
    ASSERT_EQ(kAesOk, aes_set_encrypt_key(&enc, key.data(), key.size()));
    ASSERT_EQ(kAesOk, aes_set_decrypt_key(&dec, key.data(), key.size()));
    uint8_t out[16], back[16];
    aes_encrypt_block(enc, plain.data(), out);
    EXPECT_EQ(c.cipher, to_hex(out, 16)) << "key " << c.key;
    aes_decrypt_block(dec, out, back);
    EXPECT_EQ(to_hex(plain), to_hex(back, 16));
  }
}

TEST(Aes, Sp800_38aEcbCbcCfb) {
  auto plain = from_hex(kSp800Plain);
  EXPECT_EQ("3ad77bb40d7a3660a89ecaf32466ef97f5d3d58503b9699de785895a96fdbaaf"
            "43b1cd7f598ece23881b00e3ed0306887b0c785e27e8ad3f8223207104725dd4",
            to_hex(run(AesCipher::Mode::kEcb, true, kSp800Key128, nullptr, plain)));
  const std::string cbc128 =
      "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2"
      "73bed6b8e3c1743b7116e69e222295163ff1caa1681fac09120eca307586e1a7";
  EXPECT_EQ(cbc128, to_hex(run(AesCipher::Mode::kCbc, true, kSp800Key128, kSp800Iv, plain)));
  EXPECT_EQ(to_hex(plain), to_hex(run(AesCipher::Mode::kCbc, false, kSp800Key128, kSp800Iv, from_hex(cbc128))));
  const std::string cbc256 =
      "f58c4c04d6e5f1ba779eabfb5f7bfbd69cfc4e967edb808d679f777bc6702c7d"
      "39f23369a9d9bacfa530e26304231461b2eb05e2c39be9fcda6c19078c6a9d1b";
  EXPECT_EQ(cbc256, to_hex(run(AesCipher::Mode::kCbc, true, kSp800Key256, kSp800Iv, plain)));
  EXPECT_EQ(to_hex(plain), to_hex(run(AesCipher::Mode::kCbc, false, kSp800Key256, kSp800Iv, from_hex(cbc256))));
  const std::string cfb128 =
      "3b3fd92eb72dad20333449f8e83cfb4ac8a64537a0b3a93fcde3cdad9f1ce58b"
      "26751f67a3cbb140b1808cf187a4f4dfc04b05357c5d1c0eeac4c66f9ff7f2e6";
  EXPECT_EQ(cfb128, to_hex(run(AesCipher::Mode::kCfb, true, kSp800Key128, kSp800Iv, plain)));
  EXPECT_EQ(to_hex(plain), to_hex(run(AesCipher::Mode::kCfb, false, kSp800Key128, kSp800Iv, from_hex(cfb128))));
}

TEST(Aes, ChainingContinuesAcrossCallsAndInPlace) {
  // Two calls of two blocks each equal one call of four: the task file relies on it.
  auto plain = from_hex(kSp800Plain);
  auto whole = run(AesCipher::Mode::kCbc, true, kSp800Key128, kSp800Iv, plain);
  AesCipher cipher;
  auto key = from_hex(kSp800Key128);
  auto iv = from_hex(kSp800Iv);
  ASSERT_EQ(kAesOk, cipher.setup(key.data(), key.size(), iv.data()));
  std::vector<uint8_t> buf = plain;
  ASSERT_EQ(kAesOk, cipher.encrypt(AesCipher::Mode::kCbc, buf.data(), buf.data(), 32));
  ASSERT_EQ(kAesOk, cipher.encrypt(AesCipher::Mode::kCbc, buf.data() + 32, buf.data() + 32, 32));
  EXPECT_EQ(to_hex(whole), to_hex(buf));
}

TEST(Aes, SetupAndModeRefusals) {
  AesCipher cipher;
  uint8_t key[32] = {}, buf[32] = {};
  EXPECT_EQ(kAesNotKeyed, cipher.encrypt(AesCipher::Mode::kCbc, buf, buf, 16));
  for (size_t bad : {0u, 8u, 15u, 17u, 20u, 33u}) EXPECT_EQ(kAesBadKeyLength, cipher.setup(key, bad, nullptr)) << bad;
  EXPECT_EQ(kAesBadBlockLength, cipher.setup(key, 16, nullptr, 24));
  EXPECT_EQ(kAesBadBlockLength, cipher.setup(key, 16, nullptr, 8));
  ASSERT_EQ(kAesOk, cipher.setup(key, 24, nullptr));
  EXPECT_EQ(kAesBadDataLength, cipher.encrypt(AesCipher::Mode::kEcb, buf, buf, 17));
  EXPECT_EQ(kAesBadDataLength, cipher.decrypt(AesCipher::Mode::kCbc, buf, buf, 8));
}

TEST(Crc32, CatalogueValueAndEmpty) {
  const char* text = "123456789";
  EXPECT_EQ(0xCBF43926u, crc32(0, reinterpret_cast<const uint8_t*>(text), 9));
  EXPECT_EQ(0u, crc32(0, nullptr, 0));
  EXPECT_EQ(0xCBF43926u, crc32(0xCBF43926u, nullptr, 0));
}

TEST(Crc32, RandomSplitsAgreeWithOnePass) {
  std::mt19937 rng(1234);
  std::vector<uint8_t> data(100000);
  for (auto& b : data) b = static_cast<uint8_t>(rng());
  const uint32_t whole = crc32(0, data.data(), data.size());
  for (int round = 0; round < 50; ++round) {
    uint32_t crc = 0;
    size_t pos = 0;
    while (pos < data.size()) {
      size_t n = std::min<size_t>(data.size() - pos, rng() % 300);
      crc = crc32(crc, data.data() + pos, n);
      pos += n;
    }
    ASSERT_EQ(whole, crc);
  }
  // The single-byte step on the raw register agrees with the buffer form.
  uint32_t reg = 0xFFFFFFFFu;
  for (uint8_t b : data) reg = crc32_update_byte(reg, b);
  EXPECT_EQ(whole, ~reg);
}

namespace {

TEST(Crc32, EveryImplementationAgreesAtEveryLengthAndAlignment) {
  // The folding paths hand over to the table code at their 16-, 32-, 64- and
  // 128-byte steps: lengths around each, unaligned starts, any register.
  std::mt19937 rng(99);
  std::vector<uint8_t> data(4200);
  for (auto& b : data) b = static_cast<uint8_t>(rng());
  struct Way {
    const char* name;
    bool usable;
    size_t min_nbytes;
    uint32_t (*fn)(uint32_t, const uint8_t*, size_t);
  };
  const Way ways[] = {{"clmul", cpu_has_clmul(), 64, detail::crc32_clmul_raw},
                      {"wide clmul", cpu_has_wide_clmul(), 128, detail::crc32_vclmul_raw}};
  for (const Way& way : ways) {
    if (!way.usable) continue;
    for (size_t n = way.min_nbytes; n < 1200; n += (n < 400 ? 1 : 37)) {
      for (size_t offset : {0, 1, 15, 33}) {
        const uint32_t reg = static_cast<uint32_t>(rng());
        ASSERT_EQ(detail::crc32_slicing_raw(reg, data.data() + offset, n), way.fn(reg, data.data() + offset, n))
            << way.name << ", " << n << " bytes at +" << offset;
      }
    }
    EXPECT_EQ(detail::crc32_slicing_raw(~0u, data.data(), data.size()), way.fn(~0u, data.data(), data.size()))
        << way.name;
  }
}

}  // namespace
