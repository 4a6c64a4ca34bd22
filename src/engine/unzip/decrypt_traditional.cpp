/* engine/unzip/decrypt_traditional.cpp - items under the traditional PKWARE cipher.
 *
 * The data starts with a 12-byte header that decrypts to eleven random bytes
 * and a check byte.  The check byte is the high byte of the item's CRC-32,
 * or, when the sizes and CRC follow the data (flag bit 3) and so were not
 * known when the header was written, the high byte of the DOS time.  One
 * byte of check lets a wrong password through once in 256 tries; the CRC-32
 * of the expanded data catches those later.
 */
#include <new>

#include "engine/common/traditional_cipher.h"
#include "engine/unzip/decrypt_internal.h"

namespace ostrana::detail {
namespace {

class TraditionalItemSource final : public ItemDataSource {
 public:
  TraditionalItemSource(ByteSource& raw, uint64_t payload_nbytes) : m_reader(raw, payload_nbytes) {}

  /// Reads the header and checks it against @p check_byte.  @return 0, 44 or a read failure.
  int start(const uint8_t* password, size_t password_nbytes, uint8_t check_byte) {
    uint8_t header[kTraditionalHeaderBytes];
    if (int rc = m_reader.read_exact(header, sizeof(header)); rc != 0) return rc;
    m_cipher.init(password, password_nbytes);
    m_cipher.decrypt(header, sizeof(header));
    return header[kTraditionalHeaderBytes - 1] == check_byte ? 0 : OU_BAD_PASSWORD;
  }

  std::ptrdiff_t read(uint8_t* buf, size_t avail) override {
    std::ptrdiff_t got = m_reader.read_some(buf, avail);
    if (got > 0) m_cipher.decrypt(buf, static_cast<size_t>(got));
    return got;
  }
  int error() const override { return m_reader.error(); }
  CipherScheme scheme() const override { return CipherScheme::kTraditional; }

 private:
  PayloadReader m_reader;
  TraditionalCipher m_cipher;
};

}  // namespace

int open_traditional(const ItemDataInfo& item, ByteSource& raw, std::unique_ptr<ItemDataSource>* source_ret) {
  const size_t password_nbytes = usable_password_nbytes(item.password);
  if (password_nbytes == 0) return OU_BAD_PASSWORD;
  if (item.compressed_size < kTraditionalHeaderBytes) return OU_BAD_STRUCTURE;
  const uint8_t check_byte = (item.flags & 0x0008) != 0 ? static_cast<uint8_t>(item.dos_time >> 8)
                                                        : static_cast<uint8_t>(item.crc32 >> 24);
  std::unique_ptr<TraditionalItemSource> source(new (std::nothrow) TraditionalItemSource(raw, item.compressed_size));
  if (!source) return kDecryptNoMemory;
  if (int rc = source->start(reinterpret_cast<const uint8_t*>(item.password), password_nbytes, check_byte); rc != 0)
    return rc;
  *source_ret = std::move(source);
  return 0;
}

}  // namespace ostrana::detail
