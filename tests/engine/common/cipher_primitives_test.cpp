/* tests/engine/common/cipher_primitives_test.cpp - the ciphers and derivations of the ZIP formats.
 *
 * Risks: a traditional cipher, DeriveKey or counter block that round-trips
 * with itself but differs from what other programs do; an accelerated path
 * (AES instructions, carry-less CRC folding) that differs from the portable
 * one in some length or alignment; a random pool that repeats itself.
 * Expected values come from independent models run in Python (hashlib, a
 * bitwise CRC), not from this code.
 */
#include <gtest/gtest.h>

#include <cerrno>
#include <random>
#include <string>

#include "cpu_paths.h"
#include "engine/common/aes.h"
#include "engine/common/aes_ctr.h"
#include "engine/common/crc32.h"
#include "engine/common/key_derivation.h"
#include "engine/common/random_pool.h"
#include "engine/common/traditional_cipher.h"
#include "hex.h"
#include "peer_run.h"
#include "platform/random.h"

using namespace ostrana;
using testenv::from_hex;
using testenv::to_hex;

namespace {

std::vector<uint8_t> random_bytes(std::mt19937& rng, size_t n) {
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(rng());
  return v;
}

const char kTraditionalModel[] = R"(import sys
def step(r, b):
    r ^= b
    for _ in range(8):
        r = (r >> 1) ^ (0xEDB88320 if r & 1 else 0)
    return r
d = open(sys.argv[1], 'rb').read()
pw, plain = d[1:1 + d[0]], d[1 + d[0]:]
k = [0x12345678, 0x23456789, 0x34567890]
def update(p):
    k[0] = step(k[0], p)
    k[1] = ((k[1] + (k[0] & 0xFF)) * 134775813 + 1) & 0xFFFFFFFF
    k[2] = step(k[2], k[1] >> 24)
for c in pw:
    update(c)
out = bytearray()
for p in plain:
    t = (k[2] | 2) & 0xFFFF
    out.append(p ^ (((t * (t ^ 1)) >> 8) & 0xFF))
    update(p)
open(sys.argv[2], 'wb').write(bytes(out))
)";

}  // namespace

TEST(TraditionalCipher, MatchesAnIndependentModel) {
  std::mt19937 rng(42);
  const std::string password = "Zip 2.04 compatible";
  auto plain = random_bytes(rng, 3000);
  std::vector<uint8_t> input(1 + password.size());
  input[0] = static_cast<uint8_t>(password.size());
  std::copy(password.begin(), password.end(), input.begin() + 1);
  input.insert(input.end(), plain.begin(), plain.end());
  auto expected = testenv::run_python(kTraditionalModel, input);

  TraditionalCipher enc;
  enc.init(reinterpret_cast<const uint8_t*>(password.data()), password.size());
  auto cipher_text = plain;
  enc.encrypt(cipher_text.data(), cipher_text.size());
  EXPECT_EQ(to_hex(expected), to_hex(cipher_text));

  TraditionalCipher dec;
  dec.init(reinterpret_cast<const uint8_t*>(password.data()), password.size());
  dec.decrypt(cipher_text.data(), cipher_text.size());
  EXPECT_EQ(to_hex(plain), to_hex(cipher_text));
}

TEST(StrongDeriveKey, MatchesHashlib) {
  std::mt19937 rng(17);
  auto hashes = random_bytes(rng, 3 * 20);
  auto expected = testenv::run_python(
      "import hashlib,sys\nd=open(sys.argv[1],'rb').read();o=b''\n"
      "for i in range(0,len(d),20):\n"
      "  h=d[i:i+20];a=bytearray(b'\\x36'*64);b=bytearray(b'\\x5c'*64)\n"
      "  for j in range(20): a[j]^=h[j];b[j]^=h[j]\n"
      "  o+=hashlib.sha1(a).digest()+hashlib.sha1(b).digest()\n"
      "open(sys.argv[2],'wb').write(o)\n",
      hashes);
  ASSERT_EQ(3u * 40, expected.size());
  for (int i = 0; i < 3; ++i) {
    for (size_t n : {16u, 24u, 32u, 40u}) {
      uint8_t key[40];
      ASSERT_EQ(0, strong_derive_key(hashes.data() + 20 * i, n, key));
      EXPECT_EQ(to_hex(expected.data() + 40 * i, n), to_hex(key, n));
    }
  }
  uint8_t key[41];
  EXPECT_NE(0, strong_derive_key(hashes.data(), 41, key));
}

TEST(ZipAesKeys, SplitPbkdf2OutputAndRefuseBadInput) {
  const std::string pw = "helloworld";
  auto salt = from_hex("000102030405060708090a0b0c0d0e0f");
  auto expected = testenv::run_python(
      "import hashlib,sys\nd=open(sys.argv[1],'rb').read()\n"
      "open(sys.argv[2],'wb').write(b''.join(hashlib.pbkdf2_hmac('sha1',b'helloworld',d[:4*s+4],1000,16*s+18)"
      " for s in (1,2,3)))\n",
      salt);
  size_t at = 0;
  for (int strength = 1; strength <= 3; ++strength) {
    ZipAesKeys keys;
    ASSERT_EQ(0, zip_aes_derive_keys(reinterpret_cast<const uint8_t*>(pw.data()), pw.size(), strength, salt.data(), &keys));
    const size_t k = zip_aes_key_nbytes(strength);
    EXPECT_EQ(k, keys.key_nbytes);
    EXPECT_EQ(4u * strength + 4, zip_aes_salt_nbytes(strength));
    EXPECT_EQ(to_hex(expected.data() + at, k), to_hex(keys.aes_key, k));
    EXPECT_EQ(to_hex(expected.data() + at + k, k), to_hex(keys.hmac_key, k));
    EXPECT_EQ(to_hex(expected.data() + at + 2 * k, 2), to_hex(keys.verifier, 2));
    at += 2 * k + 2;
  }
  ZipAesKeys keys;
  EXPECT_NE(0, zip_aes_derive_keys(reinterpret_cast<const uint8_t*>(pw.data()), pw.size(), 0, salt.data(), &keys));
  EXPECT_NE(0, zip_aes_derive_keys(reinterpret_cast<const uint8_t*>(pw.data()), pw.size(), 4, salt.data(), &keys));
  const std::string long_pw(kMaxPasswordBytes + 1, 'x');
  EXPECT_NE(0, zip_aes_derive_keys(reinterpret_cast<const uint8_t*>(long_pw.data()), long_pw.size(), 3, salt.data(), &keys));
  EXPECT_EQ(0, zip_aes_derive_keys(reinterpret_cast<const uint8_t*>(long_pw.data()), kMaxPasswordBytes, 3, salt.data(), &keys));
}

TEST(ZipAesCtr, CounterBlockIsLittleEndianStartsAtOneAndStopsCarryAfterByte8) {
  auto key = from_hex("2b7e151628aed2a6abf7158809cf4f3c");
  AesKeySchedule enc;
  ASSERT_EQ(kAesOk, aes_set_encrypt_key(&enc, key.data(), key.size()));
  auto keystream_of = [&](const char* counter_block_hex) {
    auto block = from_hex(counter_block_hex);
    uint8_t out[16];
    aes_encrypt_block(enc, block.data(), out);
    return to_hex(out, 16);
  };
  for (bool portable : testenv::both_code_paths()) {
    testenv::ScopedCodePath path(portable);
    ZipAesCtr ctr;
    ASSERT_EQ(kAesOk, ctr.setup(key.data(), key.size()));
    EXPECT_EQ(1u, ctr.next_counter());
    std::vector<uint8_t> zeros(48, 0);
    ctr.transform(zeros.data(), zeros.size());  // the key stream itself
    EXPECT_EQ(keystream_of("01000000000000000000000000000000"), to_hex(zeros.data(), 16));
    EXPECT_EQ(keystream_of("02000000000000000000000000000000"), to_hex(zeros.data() + 16, 16));
    EXPECT_EQ(keystream_of("03000000000000000000000000000000"), to_hex(zeros.data() + 32, 16));

    ctr.set_next_counter(0xFF);  // carry into byte 1
    std::vector<uint8_t> two(32, 0);
    ctr.transform(two.data(), two.size());
    EXPECT_EQ(keystream_of("ff000000000000000000000000000000"), to_hex(two.data(), 16));
    EXPECT_EQ(keystream_of("00010000000000000000000000000000"), to_hex(two.data() + 16, 16));

    ctr.set_next_counter(0xFFFFFFFFFFFFFFFFull);  // the carry out of byte 7 is dropped
    std::fill(two.begin(), two.end(), 0);
    ctr.transform(two.data(), two.size());
    EXPECT_EQ(keystream_of("ffffffffffffffff0000000000000000"), to_hex(two.data(), 16));
    EXPECT_EQ(keystream_of("00000000000000000000000000000000"), to_hex(two.data() + 16, 16));
  }
}

TEST(ZipAesCtr, PiecesOfAnySizeGiveTheWholeTransformOnBothPaths) {
  std::mt19937 rng(99);
  for (size_t key_nbytes : {16u, 24u, 32u}) {
    auto key = random_bytes(rng, key_nbytes);
    auto data = random_bytes(rng, 4099);
    std::vector<uint8_t> whole = data;
    {
      testenv::ScopedCodePath path(true);
      ZipAesCtr ctr;
      ASSERT_EQ(kAesOk, ctr.setup(key.data(), key.size()));
      ctr.transform(whole.data(), whole.size());
    }
    for (bool portable : testenv::both_code_paths()) {
      testenv::ScopedCodePath path(portable);
      ZipAesCtr ctr;
      ASSERT_EQ(kAesOk, ctr.setup(key.data(), key.size()));
      std::vector<uint8_t> out(data.size());
      for (size_t at = 0; at < data.size();) {
        size_t n = std::min<size_t>(rng() % 300, data.size() - at);
        ctr.transform(data.data() + at, out.data() + at, n);
        at += n;
      }
      ASSERT_EQ(to_hex(whole), to_hex(out)) << "key " << key_nbytes << " portable " << portable;
    }
  }
  ZipAesCtr bad;
  EXPECT_EQ(kAesBadKeyLength, bad.setup(nullptr, 20));
}

TEST(AesPaths, AcceleratedAndPortableAgreeInEveryMode) {
  std::mt19937 rng(197);
  for (size_t key_nbytes : {16u, 24u, 32u}) {
    for (size_t nblocks : {1u, 7u, 8u, 9u, 17u, 64u}) {
      auto key = random_bytes(rng, key_nbytes);
      auto iv = random_bytes(rng, 16);
      auto plain = random_bytes(rng, 16 * nblocks);
      std::vector<std::string> results[2];
      for (bool portable : testenv::both_code_paths()) {
        testenv::ScopedCodePath path(portable);
        for (auto mode : {AesCipher::Mode::kEcb, AesCipher::Mode::kCbc, AesCipher::Mode::kCfb}) {
          AesCipher c;
          ASSERT_EQ(kAesOk, c.setup(key.data(), key.size(), iv.data()));
          std::vector<uint8_t> ct(plain.size()), back(plain.size());
          ASSERT_EQ(kAesOk, c.encrypt(mode, plain.data(), ct.data(), ct.size()));
          c.set_chaining_value(iv.data());
          // In place, in two calls: the chaining value must carry over.
          back = ct;
          const size_t half = 16 * (nblocks / 2);
          ASSERT_EQ(kAesOk, c.decrypt(mode, back.data(), back.data(), half));
          ASSERT_EQ(kAesOk, c.decrypt(mode, back.data() + half, back.data() + half, back.size() - half));
          EXPECT_EQ(to_hex(plain), to_hex(back));
          results[portable].push_back(to_hex(ct));
        }
      }
      EXPECT_EQ(results[0], results[1]) << "key " << key_nbytes << " blocks " << nblocks;
    }
  }
}

TEST(Crc32Paths, FoldingAndTablesAgreeOnEveryLengthAndAlignment) {
  std::mt19937 rng(3309);
  auto data = random_bytes(rng, 70000);
  for (int round = 0; round < 400; ++round) {
    const size_t off = rng() % 64;
    const size_t n = round < 200 ? static_cast<size_t>(round) : rng() % (data.size() - off);
    const uint32_t start = round % 3 == 0 ? 0 : static_cast<uint32_t>(rng());
    uint32_t fast, portable;
    {
      testenv::ScopedCodePath path(false);
      fast = crc32(start, data.data() + off, n);
    }
    {
      testenv::ScopedCodePath path(true);
      portable = crc32(start, data.data() + off, n);
    }
    ASSERT_EQ(portable, fast) << "length " << n << " offset " << off;
  }
}

TEST(Crc32Paths, LargeBufferMatchesPythonZlib) {
  std::mt19937 rng(1);
  auto data = random_bytes(rng, 1 << 20);
  auto expected = testenv::run_python(
      "import zlib,sys\nd=open(sys.argv[1],'rb').read()\n"
      "open(sys.argv[2],'wb').write(zlib.crc32(d).to_bytes(4,'little')+zlib.crc32(d[5:-3]).to_bytes(4,'little'))\n",
      data);
  ASSERT_EQ(8u, expected.size());
  auto le = [&](size_t at) {
    return uint32_t(expected[at]) | uint32_t(expected[at + 1]) << 8 | uint32_t(expected[at + 2]) << 16 |
           uint32_t(expected[at + 3]) << 24;
  };
  EXPECT_EQ(le(0), crc32(0, data.data(), data.size()));
  EXPECT_EQ(le(4), crc32(0, data.data() + 5, data.size() - 8));
}

/*****************************************************************************
 *                               Random pool                                 *
 *****************************************************************************/

namespace {

uint8_t g_seed_byte = 0;
int counting_source(void* buf, size_t n) {
  auto* p = static_cast<uint8_t*>(buf);
  for (size_t i = 0; i < n; ++i) p[i] = static_cast<uint8_t>(g_seed_byte + i);
  return 0;
}
int failing_source(void*, size_t) { return EIO; }

struct ScopedRandomProvider {
  explicit ScopedRandomProvider(platform::RandomProvider p) { platform::set_random_provider(p); }
  ~ScopedRandomProvider() { platform::set_random_provider(nullptr); }
};

std::vector<uint8_t> draw(RandomPool& pool, size_t n) {
  std::vector<uint8_t> out(n);
  EXPECT_EQ(0, pool.fill(out.data(), n));
  return out;
}

}  // namespace

TEST(RandomPool, SameSeedSameStreamAcrossBlockBoundaries) {
  ScopedRandomProvider seam(counting_source);
  g_seed_byte = 7;
  RandomPool a, b;
  ASSERT_EQ(0, a.setup());
  ASSERT_EQ(0, b.setup());
  auto whole = draw(a, 1000);  // several 260-byte output blocks
  std::vector<uint8_t> pieces;
  for (size_t n : {1u, 259u, 1u, 300u, 439u}) {
    auto part = draw(b, n);
    pieces.insert(pieces.end(), part.begin(), part.end());
  }
  EXPECT_EQ(to_hex(whole), to_hex(pieces));
  // The output is not the seed, and blocks do not repeat.
  std::vector<uint8_t> seed(260);
  counting_source(seed.data(), seed.size());
  EXPECT_NE(to_hex(seed), to_hex(whole.data(), 260));
  EXPECT_NE(to_hex(whole.data(), 260), to_hex(whole.data() + 260, 260));

  g_seed_byte = 8;  // one seed bit changes everything
  RandomPool c;
  ASSERT_EQ(0, c.setup());
  auto other = draw(c, 1000);
  size_t same = 0;
  for (size_t i = 0; i < other.size(); ++i) same += other[i] == whole[i];
  EXPECT_LT(same, 20u);
}

TEST(RandomPool, FailingPlatformSourceLeavesThePoolUnusable) {
  ScopedRandomProvider seam(failing_source);
  RandomPool pool;
  EXPECT_EQ(EIO, pool.setup());
  EXPECT_FALSE(pool.ready());
  uint8_t b[4];
  EXPECT_EQ(-1, pool.fill(b, sizeof(b)));
}

TEST(RandomPool, SystemSourceGivesDifferentStreams) {
  RandomPool a, b;
  ASSERT_EQ(0, a.setup());
  ASSERT_EQ(0, b.setup());
  EXPECT_NE(to_hex(draw(a, 64)), to_hex(draw(b, 64)));
}
