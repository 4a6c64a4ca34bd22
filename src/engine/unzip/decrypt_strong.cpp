/* engine/unzip/decrypt_strong.cpp - items under PKWARE strong encryption (AES algorithms).
 *
 * The item's data starts with a decryption header:
 *   IV size (2), IV, remaining size (4), format (2, must be 3), algorithm id,
 *   key length in bits and flags (2 each, must match the 0x0017 block),
 *   encrypted random data size (2) and data, reserved count (4) and bytes,
 *   password validation size (2) and data (its last 4 bytes: CRC-32 of the rest).
 *
 * Keys: the master key is DeriveKey(SHA-1(password)); it decrypts the random
 * data (AES-CBC under the IV, padded).  The file session key is
 * DeriveKey(SHA-1(IV || random data)); it decrypts the password validation
 * data (AES-CBC under the IV), whose CRC-32 decides whether the password is
 * right, and then the file data.
 *
 * Two details that archives in the wild settle, and that the format's
 * description leaves open or states otherwise:
 *   - the file data continues the CBC chain of the password validation data
 *     (its first block is XORed with the last block of the encrypted
 *     validation data), it does not restart at the IV;
 *   - with IV size 0 the IV is the item's CRC-32 followed by its 64-bit
 *     uncompressed size (12 bytes, little-endian); the session key hashes
 *     those 12 bytes, while CBC uses them zero-padded to 16.
 * The data is whole 16-byte blocks with a padded last block (1..16 bytes, each
 * holding the pad length); an empty body is also accepted for empty content.
 *
 * Only the AES algorithms (0x660E, 0x660F, 0x6610) are decrypted; DES, 3DES,
 * RC2, RC4 and certificate-only items are refused as 44 before any data is read.
 */
#include <cstring>
#include <new>

#include "engine/common/aes.h"
#include "engine/common/crc32.h"
#include "engine/common/key_derivation.h"
#include "engine/common/sha1.h"
#include "engine/unzip/decrypt_internal.h"

namespace ostrana::detail {
namespace {

constexpr uint16_t kStrongExtraTag = 0x0017;
constexpr uint16_t kHeaderFormat = 3;
constexpr uint16_t kFlagPassword = 0x0001;
constexpr size_t kChunkBytes = 64 * 1024;  ///< decrypted data held at a time (whole blocks)

/// AES key length for a strong-encryption algorithm id, 0 for the others.
size_t aes_key_nbytes(uint16_t algorithm) {
  switch (algorithm) {
    case 0x660E: return 16;
    case 0x660F: return 24;
    case 0x6610: return 32;
    default: return 0;  // 0x6601 DES, 0x6603/0x6609 3DES, 0x6602/0x6702 RC2, 0x6801 RC4, unknown
  }
}

/// Length of the padding of the decrypted block at @p last, 0 when it is not valid padding.
size_t padding_nbytes(const uint8_t last[16]) {
  const uint8_t p = last[15];
  if (p < 1 || p > 16) return 0;
  for (size_t i = 16 - p; i < 16; ++i)
    if (last[i] != p) return 0;
  return p;
}

struct HeaderFields {
  uint8_t iv[16] = {};     ///< CBC chaining value (the IV, zero-padded)
  size_t iv_nbytes = 0;    ///< IV bytes that enter the session key
  uint16_t algorithm = 0, bit_length = 0, flags = 0;
};

/// A header field read into memory: the encrypted random data or the password validation data.
struct SecretBytes {
  std::unique_ptr<uint8_t[]> data;
  size_t nbytes = 0;

  ~SecretBytes() {
    volatile uint8_t* p = data.get();
    for (size_t i = 0; p != nullptr && i < nbytes; ++i) p[i] = 0;
  }
  /// Allocates @p n bytes.  @return false when memory is short.
  bool allocate(size_t n) {
    data.reset(new (std::nothrow) uint8_t[n]);
    nbytes = data ? n : 0;
    return data != nullptr;
  }
};

class StrongItemSource final : public ItemDataSource {
 public:
  StrongItemSource(ByteSource& raw, uint64_t payload_nbytes)
      : m_reader(raw, payload_nbytes), m_chunk(new (std::nothrow) uint8_t[kChunkBytes]) {}
  ~StrongItemSource() override {
    volatile uint8_t* p = m_chunk.get();
    for (size_t i = 0; p != nullptr && i < kChunkBytes; ++i) p[i] = 0;
  }

  bool allocated() const { return m_chunk != nullptr; }

  /// Reads the decryption header and checks the password.
  /// @return 0, 3 (malformed header), 4, 22 (key set-up), 44 (wrong password) or a read failure.
  int start(const ItemDataInfo& item, const HeaderFields& block, const uint8_t* password, size_t password_nbytes);

  std::ptrdiff_t read(uint8_t* buf, size_t avail) override {
    if (m_error != 0) return -1;
    while (m_pos == m_end) {
      if (m_reader.left() == 0) return 0;
      if (int rc = refill(); rc != 0) {
        m_error = rc;
        return -1;
      }
    }
    size_t n = m_end - m_pos;
    if (n > avail) n = avail;
    std::memcpy(buf, m_chunk.get() + m_pos, n);
    m_pos += n;
    return static_cast<std::ptrdiff_t>(n);
  }

  int error() const override { return m_error; }
  CipherScheme scheme() const override { return CipherScheme::kStrong; }

 private:
  int read_header(const ItemDataInfo& item, const HeaderFields& block, HeaderFields* h, SecretBytes* erd,
                  SecretBytes* vdata);
  int refill();

  PayloadReader m_reader;
  AesCipher m_cipher;  ///< file session key; its chain runs on from the validation data
  std::unique_ptr<uint8_t[]> m_chunk;
  size_t m_pos = 0, m_end = 0;
  int m_error = 0;
};

int StrongItemSource::read_header(const ItemDataInfo& item, const HeaderFields& block, HeaderFields* h,
                                  SecretBytes* erd, SecretBytes* vdata) {
  uint8_t b[14];
  if (int rc = m_reader.read_exact(b, 2); rc != 0) return rc;
  h->iv_nbytes = load_le16(b);
  if (h->iv_nbytes > sizeof(h->iv)) return OU_BAD_STRUCTURE;
  if (h->iv_nbytes == 0) {
    // No stored IV: CRC-32 and 64-bit uncompressed size stand in for it.
    for (int i = 0; i < 4; ++i) h->iv[i] = static_cast<uint8_t>(item.crc32 >> (8 * i));
    for (int i = 0; i < 8; ++i) h->iv[4 + i] = static_cast<uint8_t>(item.uncompressed_size >> (8 * i));
    h->iv_nbytes = 12;
  } else if (int rc = m_reader.read_exact(h->iv, h->iv_nbytes); rc != 0) {
    return rc;
  }
  // remaining size (4), format, algorithm, bit length, flags, random data size (2 each)
  if (int rc = m_reader.read_exact(b, 14); rc != 0) return rc;
  const uint32_t remaining = load_le32(b);
  if (remaining == 0 || remaining - 10 > m_reader.left()) return OU_BAD_STRUCTURE;
  h->algorithm = load_le16(b + 6);
  h->bit_length = load_le16(b + 8);
  h->flags = load_le16(b + 10);
  if (load_le16(b + 4) != kHeaderFormat || h->algorithm != block.algorithm || h->bit_length != block.bit_length ||
      h->flags != block.flags)
    return OU_BAD_STRUCTURE;
  const size_t erd_nbytes = load_le16(b + 12);
  if (erd_nbytes == 0 || erd_nbytes % 16 != 0 || erd_nbytes > m_reader.left()) return OU_BAD_STRUCTURE;
  if (!erd->allocate(erd_nbytes)) return kDecryptNoMemory;
  if (int rc = m_reader.read_exact(erd->data.get(), erd_nbytes); rc != 0) return rc;
  if (int rc = m_reader.read_exact(b, 4); rc != 0) return rc;
  if (int rc = m_reader.skip(load_le32(b)); rc != 0) return rc;
  if (int rc = m_reader.read_exact(b, 2); rc != 0) return rc;
  const size_t vdata_nbytes = load_le16(b);
  if (vdata_nbytes == 0 || vdata_nbytes % 16 != 0 || vdata_nbytes > m_reader.left()) return OU_BAD_STRUCTURE;
  if (!vdata->allocate(vdata_nbytes)) return kDecryptNoMemory;
  if (int rc = m_reader.read_exact(vdata->data.get(), vdata_nbytes); rc != 0) return rc;
  if (m_reader.left() % 16 != 0) return OU_BAD_STRUCTURE;  // the data is whole blocks
  return 0;
}

int StrongItemSource::start(const ItemDataInfo& item, const HeaderFields& block, const uint8_t* password,
                            size_t password_nbytes) {
  HeaderFields h;
  SecretBytes erd, vdata;
  if (int rc = read_header(item, block, &h, &erd, &vdata); rc != 0) return rc;
  if (password_nbytes == 0) return OU_BAD_PASSWORD;
  const size_t key_nbytes = aes_key_nbytes(h.algorithm);
  if (key_nbytes * 8 != h.bit_length) return OU_DECRYPTION_FAILED;

  uint8_t hash[kSha1DigestBytes], key[32];
  Sha1::digest(password, password_nbytes, hash);
  if (strong_derive_key(hash, key_nbytes, key) != 0) return OU_DECRYPTION_FAILED;
  {
    AesCipher master;
    if (master.setup(key, key_nbytes, h.iv) != kAesOk) return OU_DECRYPTION_FAILED;
    master.decrypt(AesCipher::Mode::kCbc, erd.data.get(), erd.data.get(), erd.nbytes);
  }
  // A wrong password garbles the random data, and with it (nearly always) its padding.
  const size_t pad = padding_nbytes(erd.data.get() + erd.nbytes - 16);
  if (pad == 0) return OU_BAD_PASSWORD;

  Sha1 session;
  session.update(h.iv, h.iv_nbytes);
  session.update(erd.data.get(), erd.nbytes - pad);
  session.finish(hash);
  if (strong_derive_key(hash, key_nbytes, key) != 0) return OU_DECRYPTION_FAILED;
  if (m_cipher.setup(key, key_nbytes, h.iv) != kAesOk) return OU_DECRYPTION_FAILED;
  volatile uint8_t* k = key;
  for (size_t i = 0; i < sizeof(key); ++i) k[i] = 0;

  // The chain stays where the validation data leaves it: the file data follows on.
  m_cipher.decrypt(AesCipher::Mode::kCbc, vdata.data.get(), vdata.data.get(), vdata.nbytes);
  const uint8_t* v = vdata.data.get();
  if (crc32(0, v, vdata.nbytes - 4) != load_le32(v + vdata.nbytes - 4)) return OU_BAD_PASSWORD;
  return 0;
}

int StrongItemSource::refill() {
  const size_t want = m_reader.left() < kChunkBytes ? static_cast<size_t>(m_reader.left()) : kChunkBytes;
  if (int rc = m_reader.read_exact(m_chunk.get(), want); rc != 0) return rc;
  m_cipher.decrypt(AesCipher::Mode::kCbc, m_chunk.get(), m_chunk.get(), want);
  m_pos = 0;
  m_end = want;
  if (m_reader.left() == 0) {
    // The last block carries the padding; damage there is damage to the item.
    const size_t pad = padding_nbytes(m_chunk.get() + want - 16);
    if (pad == 0) return OU_BAD_CRC;
    m_end -= pad;
  }
  return 0;
}

}  // namespace

int open_strong(const ItemDataInfo& item, ByteSource& raw, std::unique_ptr<ItemDataSource>* source_ret) {
  // The 0x0017 block: format (2), algorithm id (2), key length in bits (2), flags (2), ...
  size_t data_nbytes = 0;
  const uint8_t* d = extra_block_data(item.strong_block, item.strong_block_nbytes, kStrongExtraTag, &data_nbytes);
  if (d == nullptr || data_nbytes < 8) return OU_BAD_PASSWORD;  // flag bit 6 alone names no cipher
  HeaderFields block;
  block.algorithm = load_le16(d + 2);
  block.bit_length = load_le16(d + 4);
  block.flags = load_le16(d + 6);
  if (aes_key_nbytes(block.algorithm) == 0 || (block.flags & kFlagPassword) == 0) return OU_BAD_PASSWORD;
  std::unique_ptr<StrongItemSource> source(new (std::nothrow) StrongItemSource(raw, item.compressed_size));
  if (!source || !source->allocated()) return kDecryptNoMemory;
  const size_t password_nbytes = usable_password_nbytes(item.password);
  if (int rc = source->start(item, block, reinterpret_cast<const uint8_t*>(item.password), password_nbytes); rc != 0)
    return rc;
  *source_ret = std::move(source);
  return 0;
}

}  // namespace ostrana::detail
