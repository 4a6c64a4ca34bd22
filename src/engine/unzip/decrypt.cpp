/* engine/unzip/decrypt.cpp - scheme choice, the plain item source and the payload reader.
 *
 * The schemes themselves live one per file (decrypt_traditional.cpp,
 * decrypt_zip_aes.cpp, decrypt_strong.cpp); this file decides which one an
 * item uses and serves the items that are not encrypted.
 */
#include "engine/unzip/decrypt.h"

#include <cstring>
#include <new>

#include "engine/common/key_derivation.h"
#include "engine/unzip/decrypt_internal.h"

namespace ostrana {
namespace detail {

std::ptrdiff_t PayloadReader::read_some(uint8_t* buf, size_t avail) {
  if (m_error != 0) return -1;
  if (avail > m_left) avail = static_cast<size_t>(m_left);
  if (avail == 0) return 0;
  std::ptrdiff_t got = m_raw.read(buf, avail);
  if (got < 0) {
    m_error = m_raw.error() != 0 ? m_raw.error() : OU_UNEXPECTED_EOF;
    return -1;
  }
  if (got == 0) {  // the archive ends inside the item
    m_error = OU_UNEXPECTED_EOF;
    return -1;
  }
  m_left -= static_cast<uint64_t>(got);
  return got;
}

int PayloadReader::read_exact(uint8_t* buf, size_t nbytes) {
  if (m_error != 0) return m_error;
  if (nbytes > m_left) return OU_BAD_STRUCTURE;
  while (nbytes != 0) {
    std::ptrdiff_t got = read_some(buf, nbytes);
    if (got < 0) return m_error;
    buf += got;
    nbytes -= static_cast<size_t>(got);
  }
  return 0;
}

int PayloadReader::skip(uint64_t nbytes) {
  if (nbytes > m_left) return OU_BAD_STRUCTURE;
  uint8_t scratch[4096];
  while (nbytes != 0) {
    size_t take = nbytes < sizeof(scratch) ? static_cast<size_t>(nbytes) : sizeof(scratch);
    if (int rc = read_exact(scratch, take); rc != 0) return rc;
    nbytes -= take;
  }
  return 0;
}

const uint8_t* extra_block_data(const uint8_t* block, size_t block_nbytes, uint16_t tag, size_t* data_nbytes_ret) {
  if (block == nullptr || block_nbytes < 4 || load_le16(block) != tag) return nullptr;
  const size_t declared = load_le16(block + 2);
  if (declared > block_nbytes - 4) return nullptr;
  *data_nbytes_ret = declared;
  return block + 4;
}

size_t usable_password_nbytes(const char* password) {
  if (password == nullptr) return 0;
  const size_t n = strnlen(password, kMaxPasswordBytes + 1);
  return n > kMaxPasswordBytes ? 0 : n;
}

namespace {

/// An item without encryption: the raw payload, unchanged.
class PlainItemSource final : public ItemDataSource {
 public:
  PlainItemSource(ByteSource& raw, uint64_t nbytes) : m_reader(raw, nbytes) {}

  std::ptrdiff_t read(uint8_t* buf, size_t avail) override { return m_reader.read_some(buf, avail); }
  int error() const override { return m_reader.error(); }
  CipherScheme scheme() const override { return CipherScheme::kNone; }

 private:
  PayloadReader m_reader;
};

}  // namespace
}  // namespace detail

CipherScheme item_cipher_scheme(const ItemDataInfo& item) {
  if ((item.flags & 0x0001) == 0) return CipherScheme::kNone;
  if (item.aes_block != nullptr) return CipherScheme::kZipAes;
  if (item.strong_block != nullptr || (item.flags & 0x0040) != 0) return CipherScheme::kStrong;
  return CipherScheme::kTraditional;
}

int open_item_data(const ItemDataInfo& item, ByteSource& raw, std::unique_ptr<ItemDataSource>* source_ret) {
  source_ret->reset();
  switch (item_cipher_scheme(item)) {
    case CipherScheme::kNone: {
      auto* plain = new (std::nothrow) detail::PlainItemSource(raw, item.compressed_size);
      if (plain == nullptr) return detail::kDecryptNoMemory;
      source_ret->reset(plain);
      return 0;
    }
    case CipherScheme::kTraditional:
      return detail::open_traditional(item, raw, source_ret);
    case CipherScheme::kZipAes:
      return detail::open_zip_aes(item, raw, source_ret);
    case CipherScheme::kStrong:
      return detail::open_strong(item, raw, source_ret);
  }
  return OU_BAD_PASSWORD;
}

}  // namespace ostrana
