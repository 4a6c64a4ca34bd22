/* engine/zip/entry_encryption.cpp - the encryption headers and ciphers of the archive writer.
 *
 * Strong-encryption decryption header, as written (little-endian):
 *   IV size (2): 0, or 16 when the header is made before the data
 *   IV (0 or 16 random bytes)
 *   remaining size (4): 288, the bytes after this field
 *   format (2) 3, algorithm id (2), key length in bits (2), flags (2) 1 = password
 *   encrypted random data size (2) 144, then 128 random bytes + 16 bytes of
 *     padding, AES-CBC under DeriveKey(SHA-1(password)) and the IV
 *   reserved count (4) 0
 *   password validation size (2) 128, then 124 random bytes + their CRC-32,
 *     AES-CBC under the file session key DeriveKey(SHA-1(IV || random data))
 *     and the IV; the file data continues this chain.
 * Without a stored IV, "the IV" is CRC-32 + 64-bit size: those 12 bytes enter
 * the session key's hash, the zero-padded 16 bytes start both CBC chains.
 *
 * The traditional header is 11 random bytes and a check byte (high byte of
 * the CRC-32, or with flag bit 3 of the DOS time), encrypted under the keys
 * the password sets; the data follows under the same running keys.  Its
 * random bytes come from the run's random pool, so no two headers repeat.
 */
#include "engine/zip/entry_encryption.h"

#include <algorithm>
#include <cstring>

#include "engine/common/crc32.h"
#include "engine/common/key_derivation.h"
#include "engine/common/sha1.h"
#include "engine/common/zip_extra.h"
#include "engine/common/zip_records.h"
#include "ostrana_results.h"

namespace ostrana {

using zip::put_le16;
using zip::put_le32;
using zip::put_le64;

namespace {

constexpr uint16_t kStrongFormat = 3;           ///< decryption header format
constexpr uint16_t kStrongBlockFormat = 2;      ///< format field of the 0x0017 block
constexpr uint16_t kStrongFlagPassword = 0x0001;
constexpr size_t kStrongIvNbytes = 16;
constexpr size_t kRandomDataNbytes = 128;       ///< before padding: 144 stored
constexpr size_t kValidationNbytes = 128;       ///< 124 random bytes and their CRC-32
constexpr size_t kStrongExtraDataNbytes = 12;
constexpr uint16_t kZipAesVendorVersion = 2;    ///< AE-2: the CRC-32 fields hold 0

void wipe(void* p, size_t n) {
  volatile uint8_t* v = static_cast<volatile uint8_t*>(p);
  for (size_t i = 0; i < n; ++i) v[i] = 0;
}

/// Pads the last @p nbytes (< 16) of a block in @p block to 16 bytes, each pad byte its count.
void pad_block(uint8_t block[kAesBlockBytes], size_t nbytes) {
  const uint8_t pad = static_cast<uint8_t>(kAesBlockBytes - nbytes);
  std::memset(block + nbytes, pad, pad);
}

}  // namespace

// ---- the run's settings -------------------------------------------------------------

WriteEncryption::~WriteEncryption() { wipe(m_password.data(), m_password.size()); }

int WriteEncryption::setup(WriteScheme scheme, int strength, const std::string& password) {
  m_scheme = WriteScheme::kNone;
  if (scheme == WriteScheme::kNone) return OZ_SUCCESS;
  if (password.empty() || password.size() > kMaxPasswordBytes) return OZ_BAD_PARAMETERS;
  const bool aes = scheme == WriteScheme::kStrongAes || scheme == WriteScheme::kZipAes;
  if (aes && zip_aes_key_nbytes(strength) == 0) return OZ_BAD_PARAMETERS;
  if (m_pool.setup() != 0) return OZ_OUT_OF_MEMORY;
  wipe(m_password.data(), m_password.size());
  m_password = password;
  m_strength = aes ? strength : 0;
  m_scheme = scheme;
  return OZ_SUCCESS;
}

size_t WriteEncryption::key_nbytes() const { return strong() || zip_aes() ? zip_aes_key_nbytes(m_strength) : 0; }

uint16_t WriteEncryption::algorithm_id() const {
  if (!strong()) return 0;
  switch (key_nbytes()) {
    case 16: return 0x660E;
    case 24: return 0x660F;
    case 32: return 0x6610;
    default: return 0;
  }
}

uint16_t WriteEncryption::flag_bits() const {
  if (!enabled()) return 0;
  return strong() ? zip::kFlagEncrypted | zip::kFlagStrongEncryption : zip::kFlagEncrypted;
}

std::vector<uint8_t> WriteEncryption::extra_block(uint16_t method) const {
  std::vector<uint8_t> b;
  if (zip_aes()) {
    zip::AesExtra a;
    a.vendor_version = kZipAesVendorVersion;
    a.vendor_id = zip::kAesVendorId;
    a.strength = static_cast<uint8_t>(m_strength);
    a.method = method;
    b.resize(zip::kMaxAesBlock);
    zip::write_aes_block(a, b.data());
    return b;
  }
  if (!strong()) return b;
  b.assign(zip::kExtraBlockHead + kStrongExtraDataNbytes, 0);
  put_le16(b.data(), zip::kExtraStrongEncryption);
  put_le16(b.data() + 2, kStrongExtraDataNbytes);
  put_le16(b.data() + 4, kStrongBlockFormat);
  put_le16(b.data() + 6, algorithm_id());
  put_le16(b.data() + 8, static_cast<uint16_t>(key_nbytes() * 8));
  put_le16(b.data() + 10, kStrongFlagPassword);
  return b;  // 4 zero bytes end it
}

size_t WriteEncryption::header_nbytes(bool streaming) const {
  switch (m_scheme) {
    case WriteScheme::kNone: return 0;
    case WriteScheme::kTraditional: return kTraditionalHeaderBytes;
    case WriteScheme::kStrongAes: return streaming ? kStrongHeaderWithIvNbytes : kStrongHeaderNbytes;
    case WriteScheme::kZipAes: return zip_aes_salt_nbytes(m_strength) + kZipAesVerifierBytes;
  }
  return 0;
}

uint64_t WriteEncryption::stored_nbytes(uint64_t data_nbytes, bool streaming) const {
  // Strong encryption always pads: 1..16 bytes, a whole block after whole blocks.
  if (strong()) data_nbytes = (data_nbytes / kAesBlockBytes + 1) * kAesBlockBytes;
  if (zip_aes()) data_nbytes += kZipAesMacBytes;
  return header_nbytes(streaming) + data_nbytes;
}

// ---- one entry's cipher ---------------------------------------------------------------

EntryCipher::~EntryCipher() = default;  // both ciphers wipe their own keys

int EntryCipher::start(const EncryptionHeaderInput& input, std::vector<uint8_t>* header_ret) {
  header_ret->clear();
  switch (m_run.scheme()) {
    case WriteScheme::kNone: return OZ_SUCCESS;
    case WriteScheme::kTraditional: return start_traditional(input, header_ret);
    case WriteScheme::kStrongAes: return start_strong(input, header_ret);
    case WriteScheme::kZipAes: return start_zip_aes(header_ret);
  }
  return OZ_INTERNAL;
}

int EntryCipher::start_zip_aes(std::vector<uint8_t>* header_ret) {
  const size_t salt_nbytes = zip_aes_salt_nbytes(m_run.strength());
  uint8_t salt[16];
  if (m_run.pool().fill(salt, salt_nbytes) != 0) return OZ_OUT_OF_MEMORY;
  ZipAesKeys keys;
  if (zip_aes_derive_keys(m_run.password(), m_run.password_nbytes(), m_run.strength(), salt, &keys) != 0 ||
      m_ctr.setup(keys.aes_key, keys.key_nbytes) != kAesOk)
    return OZ_OUT_OF_MEMORY;
  m_mac.set_key(keys.hmac_key, keys.key_nbytes);
  header_ret->assign(salt, salt + salt_nbytes);
  header_ret->insert(header_ret->end(), keys.verifier, keys.verifier + kZipAesVerifierBytes);
  return OZ_SUCCESS;
}

int EntryCipher::start_traditional(const EncryptionHeaderInput& input, std::vector<uint8_t>* header_ret) {
  uint8_t header[kTraditionalHeaderBytes];
  if (m_run.pool().fill(header, kTraditionalHeaderBytes - 1) != 0) return OZ_OUT_OF_MEMORY;
  const uint8_t check = input.streaming ? static_cast<uint8_t>(input.dos_time >> 8)
                                        : static_cast<uint8_t>(input.crc32 >> 24);
  header[kTraditionalHeaderBytes - 2] = static_cast<uint8_t>(~check);
  header[kTraditionalHeaderBytes - 1] = check;
  m_traditional.init(m_run.password(), m_run.password_nbytes());
  m_traditional.encrypt(header, sizeof(header));
  header_ret->assign(header, header + sizeof(header));
  wipe(header, sizeof(header));
  return OZ_SUCCESS;
}

int EntryCipher::start_strong(const EncryptionHeaderInput& input, std::vector<uint8_t>* header_ret) {
  const size_t key_nbytes = m_run.key_nbytes();
  // The IV: stored random bytes, or CRC-32 + size standing in for it.
  uint8_t iv[kStrongIvNbytes] = {};
  size_t iv_hashed = kStrongIvNbytes;
  if (input.streaming) {
    if (m_run.pool().fill(iv, sizeof(iv)) != 0) return OZ_OUT_OF_MEMORY;
  } else {
    put_le32(iv, input.crc32);
    put_le64(iv + 4, input.uncompressed_nbytes);
    iv_hashed = 12;
  }

  uint8_t random_data[kRandomDataNbytes + kAesBlockBytes];
  uint8_t validation[kValidationNbytes];
  if (m_run.pool().fill(random_data, kRandomDataNbytes) != 0 ||
      m_run.pool().fill(validation, kValidationNbytes - 4) != 0)
    return OZ_OUT_OF_MEMORY;
  put_le32(validation + kValidationNbytes - 4, crc32(0, validation, kValidationNbytes - 4));

  // The file session key, from the IV and the random data in the clear.
  uint8_t hash[kSha1DigestBytes], key[kStrongMaxKeyBytes];
  Sha1 session;
  session.update(iv, iv_hashed);
  session.update(random_data, kRandomDataNbytes);
  session.finish(hash);
  int rc = strong_derive_key(hash, key_nbytes, key) == 0 && m_aes.setup(key, key_nbytes, iv) == kAesOk
               ? OZ_SUCCESS
               : OZ_OUT_OF_MEMORY;
  if (rc == OZ_SUCCESS && m_aes.encrypt(AesCipher::Mode::kCbc, validation, validation, kValidationNbytes) != kAesOk)
    rc = OZ_OUT_OF_MEMORY;

  // The random data, padded with a whole block, under the password's key.
  if (rc == OZ_SUCCESS) {
    pad_block(random_data + kRandomDataNbytes, 0);
    Sha1::digest(m_run.password(), m_run.password_nbytes(), hash);
    AesCipher master;
    if (strong_derive_key(hash, key_nbytes, key) != 0 || master.setup(key, key_nbytes, iv) != kAesOk ||
        master.encrypt(AesCipher::Mode::kCbc, random_data, random_data, sizeof(random_data)) != kAesOk)
      rc = OZ_OUT_OF_MEMORY;
  }
  wipe(hash, sizeof(hash));
  wipe(key, sizeof(key));
  if (rc != OZ_SUCCESS) {
    wipe(random_data, sizeof(random_data));
    wipe(validation, sizeof(validation));
    return rc;
  }

  const size_t stored_iv = input.streaming ? kStrongIvNbytes : 0;
  std::vector<uint8_t>& h = *header_ret;
  h.assign(m_run.header_nbytes(input.streaming), 0);
  uint8_t* p = h.data();
  put_le16(p, static_cast<uint16_t>(stored_iv));
  p += 2;
  std::memcpy(p, iv, stored_iv);
  p += stored_iv;
  put_le32(p, static_cast<uint32_t>(h.size() - 6 - stored_iv));
  put_le16(p + 4, kStrongFormat);
  put_le16(p + 6, m_run.algorithm_id());
  put_le16(p + 8, static_cast<uint16_t>(key_nbytes * 8));
  put_le16(p + 10, kStrongFlagPassword);
  put_le16(p + 12, sizeof(random_data));
  p += 14;
  std::memcpy(p, random_data, sizeof(random_data));
  p += sizeof(random_data);
  put_le32(p, 0);  // no reserved data
  put_le16(p + 4, kValidationNbytes);
  p += 6;
  std::memcpy(p, validation, kValidationNbytes);
  wipe(random_data, sizeof(random_data));
  return OZ_SUCCESS;
}

int EntryCipher::encrypt(uint8_t* data, size_t nbytes) {
  if (m_run.zip_aes()) {
    m_ctr.transform(data, nbytes);
    m_mac.update(data, nbytes);  // the code covers the encrypted bytes
    return OZ_SUCCESS;
  }
  if (!m_run.strong()) {
    m_traditional.encrypt(data, nbytes);
    return OZ_SUCCESS;
  }
  return m_aes.encrypt(AesCipher::Mode::kCbc, data, data, nbytes) == kAesOk ? OZ_SUCCESS : OZ_ENCRYPTION_FAILED;
}

std::ptrdiff_t EntryCipher::finish(uint8_t tail[kAesBlockBytes], size_t tail_nbytes) {
  if (m_run.zip_aes()) {
    uint8_t mac[kSha1DigestBytes];
    m_mac.finish(mac);
    std::memcpy(tail, mac, kZipAesMacBytes);
    wipe(mac, sizeof(mac));
    return static_cast<std::ptrdiff_t>(kZipAesMacBytes);
  }
  if (!m_run.strong()) {
    m_traditional.encrypt(tail, tail_nbytes);
    return static_cast<std::ptrdiff_t>(tail_nbytes);
  }
  pad_block(tail, tail_nbytes);
  if (m_aes.encrypt(AesCipher::Mode::kCbc, tail, tail, kAesBlockBytes) != kAesOk) return -1;
  return kAesBlockBytes;
}

// ---- encrypting on the way out ----------------------------------------------------------

EncryptingSink::~EncryptingSink() {
  wipe(m_tail, sizeof(m_tail));
  wipe(m_work.data(), m_work.size());
}

int EncryptingSink::write(const uint8_t* data, size_t nbytes) {
  const size_t unit = m_cipher.block_nbytes();
  while (nbytes != 0) {
    // Complete a held-back partial block first.
    if (m_tail_nbytes != 0 || nbytes < unit) {
      size_t take = std::min(unit - m_tail_nbytes, nbytes);
      std::memcpy(m_tail + m_tail_nbytes, data, take);
      m_tail_nbytes += take;
      data += take;
      nbytes -= take;
      if (m_tail_nbytes < unit) return OZ_SUCCESS;
      if (int rc = m_cipher.encrypt(m_tail, unit)) return rc;
      m_tail_nbytes = 0;
      if (int rc = m_out.write(m_tail, unit)) return rc;
      m_out_nbytes += unit;
      continue;
    }
    size_t whole = std::min(nbytes - nbytes % unit, kEncryptPassBlock * 8);
    m_work.assign(data, data + whole);
    if (int rc = m_cipher.encrypt(m_work.data(), whole)) return rc;
    if (int rc = m_out.write(m_work.data(), whole)) return rc;
    m_out_nbytes += whole;
    data += whole;
    nbytes -= whole;
  }
  return OZ_SUCCESS;
}

int EncryptingSink::finish() {
  std::ptrdiff_t n = m_cipher.finish(m_tail, m_tail_nbytes);
  m_tail_nbytes = 0;
  if (n < 0) return OZ_ENCRYPTION_FAILED;
  if (n == 0) return OZ_SUCCESS;
  if (int rc = m_out.write(m_tail, static_cast<size_t>(n))) return rc;
  m_out_nbytes += static_cast<uint64_t>(n);
  return OZ_SUCCESS;
}

void mark_encrypted(const WriteEncryption& run, uint16_t method, uint32_t crc, CentralRecord* r) {
  r->header.method = method;
  r->header.crc32 = crc;
  if (!run.enabled()) return;
  r->header.flags |= run.flag_bits();
  if (run.key_nbytes() == 0) return;
  r->header.version_needed = kVersionAes;
  r->header.version_made_by = static_cast<uint16_t>((r->header.version_made_by & 0xFF00) | kVersionAes);
  if (run.zip_aes()) {
    r->header.method = zip::kMethodAes;
    r->header.crc32 = 0;
  }
}

int encrypt_all(EntryCipher& cipher, std::vector<uint8_t>* data) {
  const size_t whole = data->size() - data->size() % cipher.block_nbytes();
  if (int rc = cipher.encrypt(data->data(), whole)) return rc;
  uint8_t tail[kAesBlockBytes];
  const size_t tail_nbytes = data->size() - whole;
  std::memcpy(tail, data->data() + whole, tail_nbytes);
  const std::ptrdiff_t n = cipher.finish(tail, tail_nbytes);
  if (n < 0) return OZ_ENCRYPTION_FAILED;
  data->resize(whole);
  data->insert(data->end(), tail, tail + n);
  wipe(tail, sizeof(tail));
  return OZ_SUCCESS;
}

// ---- the in-place pass ----------------------------------------------------------------

int encrypt_in_place(ArchiveOutput& out, uint64_t data_offset, uint64_t data_nbytes, EntryCipher& cipher,
                     EntryReadObserver* observer) {
  if (out.offset() != data_offset + data_nbytes) return OZ_INTERNAL;
  // 16 bytes more than a block: room for the padding of the last one.
  std::vector<uint8_t> block(kEncryptPassBlock + kAesBlockBytes);
  const size_t unit = cipher.block_nbytes();
  uint64_t done = 0;
  int rc = OZ_SUCCESS;
  for (;;) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(kEncryptPassBlock, data_nbytes - done));
    const bool last = done + n == data_nbytes;
    const size_t whole = last ? n - n % unit : n;
    if (n != 0) rc = out.read_back(data_offset + done, block.data(), n);
    if (rc == OZ_SUCCESS) rc = cipher.encrypt(block.data(), whole);
    if (rc == OZ_SUCCESS && whole != 0) rc = out.patch(data_offset + done, block.data(), whole);
    if (rc == OZ_SUCCESS && last) {
      // The tail and its padding: the bytes already there are rewritten, the rest appended.
      const size_t tail = n - whole;
      const std::ptrdiff_t end = cipher.finish(block.data() + whole, tail);
      if (end < 0) rc = OZ_ENCRYPTION_FAILED;
      if (rc == OZ_SUCCESS && tail != 0) rc = out.patch(data_offset + done + whole, block.data() + whole, tail);
      if (rc == OZ_SUCCESS && end > static_cast<std::ptrdiff_t>(tail))
        rc = out.write(block.data() + whole + tail, static_cast<size_t>(end) - tail);
    }
    done += n;
    if (rc == OZ_SUCCESS && observer != nullptr && observer->pass_progress(done, data_nbytes) != 0)
      rc = OZ_INTERRUPTED;
    if (rc != OZ_SUCCESS || last) break;
  }
  wipe(block.data(), block.size());
  return rc;
}

}  // namespace ostrana
