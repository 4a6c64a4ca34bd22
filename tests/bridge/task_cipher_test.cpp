/* tests/bridge/task_cipher_test.cpp - the task subsystem's view of the engine's
 * AES and CRC-32: the lengths the key set-up takes and refuses, and that CBC
 * chains across calls exactly like one call over the whole buffer. */
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "bridge/task_cipher.h"
#include "hex.h"

namespace {

TEST(TaskCipher, Crc32OfTheCheckString) { EXPECT_EQ(bridge::crc32_of("123456789", 9), 0xCBF43926u); }

TEST(TaskCipher, KeyAndBlockLengths) {
  const uint8_t key[32] = {};
  const uint8_t iv[32] = {};
  bridge::TaskCipher cipher;
  EXPECT_EQ(cipher.setup(key, 16, iv, 16), 0);
  EXPECT_EQ(cipher.setup(key, 24, iv, 16), 0);
  EXPECT_EQ(cipher.setup(key, 32, iv, 16), 0);
  EXPECT_NE(cipher.setup(key, 15, iv, 16), 0);
  EXPECT_NE(cipher.setup(key, 16, iv, 24), 0);  // only 128-bit blocks are offered
  EXPECT_NE(cipher.setup(key, 16, iv, 32), 0);
  EXPECT_NE(cipher.setup(key, 16, iv, 8), 0);
}

TEST(TaskCipher, CbcVectorAndChainingAcrossCalls) {
  // NIST SP 800-38A F.2.1, CBC-AES128.Encrypt, first two blocks.
  const auto key = testenv::from_hex("2b7e151628aed2a6abf7158809cf4f3c");
  const auto iv = testenv::from_hex("000102030405060708090a0b0c0d0e0f");
  const auto plain = testenv::from_hex("6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51");
  bridge::TaskCipher cipher;
  ASSERT_EQ(cipher.setup(key.data(), 16, iv.data(), 16), 0);
  std::vector<uint8_t> out(32);
  ASSERT_EQ(cipher.encrypt_cbc(plain.data(), out.data(), 16), 0);
  ASSERT_EQ(cipher.encrypt_cbc(plain.data() + 16, out.data() + 16, 16), 0);
  EXPECT_EQ(testenv::to_hex(out), "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2");

  bridge::TaskCipher reverse;
  ASSERT_EQ(reverse.setup(key.data(), 16, iv.data(), 16), 0);
  std::vector<uint8_t> back(32);
  ASSERT_EQ(reverse.decrypt_cbc(out.data(), back.data(), 32), 0);
  EXPECT_EQ(back, plain);
  EXPECT_NE(reverse.decrypt_cbc(out.data(), back.data(), 15), 0);
}

}  // namespace
