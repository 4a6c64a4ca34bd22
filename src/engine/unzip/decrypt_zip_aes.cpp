/* engine/unzip/decrypt_zip_aes.cpp - items in the ZIP AES format (AE-1 and AE-2).
 *
 * Payload: salt (8, 12 or 16 bytes by key strength), 2-byte password
 * verifier, the encrypted data, a 10-byte authentication code.  The keys come
 * from PBKDF2-HMAC-SHA1 (key_derivation.h); the verifier rejects most wrong
 * passwords at once, and the authentication code - HMAC-SHA1 over the
 * encrypted data, cut to 10 bytes - catches the rest and any change to the
 * data.  It replaces the CRC-32 check for both AE-1 and AE-2 items.
 *
 * The 0x9901 block must name vendor "AE", version 1 or 2 and strength 1..3;
 * anything else is a cipher this engine does not know, refused as 44 before
 * the password is tried.
 */
#include <cstring>
#include <new>

#include "engine/common/aes_ctr.h"
#include "engine/common/hmac_sha1.h"
#include "engine/common/key_derivation.h"
#include "engine/unzip/decrypt_internal.h"

namespace ostrana::detail {
namespace {

constexpr uint16_t kAesExtraTag = 0x9901;
constexpr size_t kAesExtraDataBytes = 7;

class ZipAesItemSource final : public ItemDataSource {
 public:
  ZipAesItemSource(ByteSource& raw, uint64_t payload_nbytes) : m_reader(raw, payload_nbytes) {}

  /// Reads salt and verifier and checks the password.  @return 0, 3, 44 or a read failure.
  int start(const uint8_t* password, size_t password_nbytes, int strength) {
    const size_t salt_nbytes = zip_aes_salt_nbytes(strength);
    const uint64_t overhead = salt_nbytes + kZipAesVerifierBytes + kZipAesMacBytes;
    if (m_reader.left() < overhead) return OU_BAD_STRUCTURE;
    uint8_t salt[16], verifier[kZipAesVerifierBytes];
    if (int rc = m_reader.read_exact(salt, salt_nbytes); rc != 0) return rc;
    if (int rc = m_reader.read_exact(verifier, sizeof(verifier)); rc != 0) return rc;
    ZipAesKeys keys;
    if (zip_aes_derive_keys(password, password_nbytes, strength, salt, &keys) != 0) return OU_BAD_PASSWORD;
    if (std::memcmp(keys.verifier, verifier, sizeof(verifier)) != 0) return OU_BAD_PASSWORD;
    if (m_ctr.setup(keys.aes_key, keys.key_nbytes) != 0) return OU_DECRYPTION_FAILED;
    m_mac.set_key(keys.hmac_key, keys.key_nbytes);
    m_data_left = m_reader.left() - kZipAesMacBytes;
    return 0;
  }

  std::ptrdiff_t read(uint8_t* buf, size_t avail) override {
    if (avail > m_data_left) avail = static_cast<size_t>(m_data_left);
    std::ptrdiff_t got = m_reader.read_some(buf, avail);
    if (got > 0) {
      m_mac.update(buf, static_cast<size_t>(got));  // the code covers the encrypted bytes
      m_ctr.transform(buf, static_cast<size_t>(got));
      m_data_left -= static_cast<uint64_t>(got);
    }
    return got;
  }

  int error() const override { return m_reader.error(); }
  CipherScheme scheme() const override { return CipherScheme::kZipAes; }
  bool authenticates() const override { return true; }

  int verify_end() override {
    if (m_verdict >= 0) return m_verdict;
    // Whatever the consumer left is still covered by the code.
    uint8_t scratch[16384];
    while (m_data_left != 0) {
      size_t take = m_data_left < sizeof(scratch) ? static_cast<size_t>(m_data_left) : sizeof(scratch);
      std::ptrdiff_t got = m_reader.read_some(scratch, take);
      if (got < 0) return m_verdict = m_reader.error();
      m_mac.update(scratch, static_cast<size_t>(got));
      m_data_left -= static_cast<uint64_t>(got);
    }
    uint8_t stored[kZipAesMacBytes], computed[kSha1DigestBytes];
    if (int rc = m_reader.read_exact(stored, sizeof(stored)); rc != 0) return m_verdict = rc;
    m_mac.finish(computed);
    uint8_t diff = 0;
    for (size_t i = 0; i < kZipAesMacBytes; ++i) diff |= static_cast<uint8_t>(stored[i] ^ computed[i]);
    return m_verdict = diff == 0 ? 0 : OU_BAD_CRC;
  }

 private:
  PayloadReader m_reader;
  ZipAesCtr m_ctr;
  HmacSha1 m_mac;
  uint64_t m_data_left = 0;  ///< encrypted data not yet read (the code follows it)
  int m_verdict = -1;        ///< result of verify_end() once known
};

}  // namespace

int open_zip_aes(const ItemDataInfo& item, ByteSource& raw, std::unique_ptr<ItemDataSource>* source_ret) {
  size_t data_nbytes = 0;
  const uint8_t* d = extra_block_data(item.aes_block, item.aes_block_nbytes, kAesExtraTag, &data_nbytes);
  if (d == nullptr || data_nbytes < kAesExtraDataBytes) return OU_BAD_PASSWORD;
  const uint16_t vendor_version = load_le16(d);
  const int strength = d[4];
  if ((vendor_version != 1 && vendor_version != 2) || d[2] != 'A' || d[3] != 'E' || zip_aes_key_nbytes(strength) == 0)
    return OU_BAD_PASSWORD;
  const size_t password_nbytes = usable_password_nbytes(item.password);
  if (password_nbytes == 0) return OU_BAD_PASSWORD;
  std::unique_ptr<ZipAesItemSource> source(new (std::nothrow) ZipAesItemSource(raw, item.compressed_size));
  if (!source) return kDecryptNoMemory;
  if (int rc = source->start(reinterpret_cast<const uint8_t*>(item.password), password_nbytes, strength); rc != 0)
    return rc;
  *source_ret = std::move(source);
  return 0;
}

}  // namespace ostrana::detail
