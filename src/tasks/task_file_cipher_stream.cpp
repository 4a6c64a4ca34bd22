/* tasks/task_file_cipher_stream.cpp - the enciphered record stream of a protected task file. */
#include "tasks/task_file_cipher_stream.h"

#include <cstdio>
#include <cstring>

#include "bridge/task_cipher.h"
#include "platform/random.h"

namespace tasks {
namespace {

constexpr size_t kMaxLineBytes = 16383;  // a line of 16,384 bytes or more is refused

uint32_t get_le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void put_le32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

bool system_random(uint8_t bytes_ret[16]) { return platform::random_bytes(bytes_ret, 16) == 0; }

}  // namespace

TaskFileCipherStream::TaskFileCipherStream(RandomSource random)
    : m_random(random ? std::move(random) : RandomSource(system_random)),
      m_cipher(std::make_unique<bridge::TaskCipher>()) {
  std::memset(m_buffer, 0, sizeof m_buffer);
  std::memset(m_cipher_buffer, 0, sizeof m_cipher_buffer);
}

TaskFileCipherStream::~TaskFileCipherStream() {
  close();
  std::memset(m_buffer, 0, sizeof m_buffer);
}

std::array<uint8_t, 16> TaskFileCipherStream::key_text(const Header& header) {
  std::array<uint8_t, 16> key{};
  char text[9];
  std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(header.g1));
  std::memcpy(key.data(), text, 8);
  return key;
}

std::array<uint8_t, 16> TaskFileCipherStream::iv_text(const Header& header) {
  std::array<uint8_t, 16> iv{};
  char text[9];
  std::snprintf(text, sizeof text, "%02x%04x%02x", static_cast<unsigned>(header.b1),
                static_cast<unsigned>(header.g2 >> 16), static_cast<unsigned>(header.b2));
  std::memcpy(iv.data(), text, 8);
  return iv;
}

uint16_t TaskFileCipherStream::check_value(const Header& header) {
  const std::array<uint8_t, 16> iv = iv_text(header);
  return static_cast<uint16_t>(bridge::crc32_of(iv.data(), 8) & 0xFFFF);
}

TaskFileCipherStream::Header TaskFileCipherStream::header_from_random(const uint8_t random[16]) {
  // The bytes as a GUID: Data1 (4), Data2 (2), Data3 (2), Data4 (8), little-endian fields.
  const uint32_t data1 = get_le32(random);
  const uint32_t data3 = uint32_t(random[6]) | uint32_t(random[7]) << 8;
  const uint8_t* data4 = random + 8;
  Header header;
  header.g1 = data1;
  header.g2 = data3 << 16 | uint32_t(data4[2]) << 8 | data4[7];
  header.b1 = data4[1];
  header.b2 = data4[4];
  header.check = check_value(header);
  return header;
}

int TaskFileCipherStream::set_up_cipher() {
  const std::array<uint8_t, 16> key = key_text(m_header);
  const std::array<uint8_t, 16> iv = iv_text(m_header);
  return m_cipher->setup(key.data(), key.size(), iv.data(), iv.size()) == 0 ? kStreamOk : kStreamKeyRefused;
}

int TaskFileCipherStream::open_for_writing(const char* path) {
  close();
  if (path == nullptr || *path == '\0') return kStreamNoFile;
  uint8_t random[16];
  if (!m_random(random)) return kStreamNoFile;
  if (m_file.open(path, platform::File::Mode::kCreate) != 0) return kStreamNoFile;
  m_header = header_from_random(random);
  std::memset(random, 0, sizeof random);

  uint8_t bytes[kHeaderBytes];
  bytes[0] = static_cast<uint8_t>(m_header.check);
  bytes[1] = static_cast<uint8_t>(m_header.check >> 8);
  put_le32(bytes + 2, m_header.g1);
  put_le32(bytes + 6, m_header.g2);
  bytes[10] = m_header.b1;
  bytes[11] = m_header.b2;
  m_write_failed = m_file.write(bytes, sizeof bytes) != 0;

  if (set_up_cipher() != kStreamOk) {
    m_file.close();
    return kStreamKeyRefused;
  }
  m_open = true;
  return kStreamOk;
}

int TaskFileCipherStream::open_for_reading(const char* path) {
  close();
  m_write_failed = false;
  if (path == nullptr || *path == '\0') return kStreamNoFile;
  if (m_file.open(path, platform::File::Mode::kRead) != 0) return kStreamNoFile;
  uint8_t bytes[kHeaderBytes];
  const std::ptrdiff_t got = m_file.read_full(bytes, sizeof bytes);
  if (got <= 0) {  // empty or unreadable
    m_file.close();
    return kStreamNoFile;
  }
  if (got != static_cast<std::ptrdiff_t>(sizeof bytes)) {  // too short to hold a header
    m_file.close();
    return kStreamHeaderMismatch;
  }
  m_header.check = static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
  m_header.g1 = get_le32(bytes + 2);
  m_header.g2 = get_le32(bytes + 6);
  m_header.b1 = bytes[10];
  m_header.b2 = bytes[11];
  if (check_value(m_header) != m_header.check) {
    m_file.close();
    return kStreamHeaderMismatch;
  }
  if (set_up_cipher() != kStreamOk) {
    m_file.close();
    return kStreamKeyRefused;
  }
  m_open = true;
  return kStreamOk;
}

int TaskFileCipherStream::write_line(const char* text) {
  if (!m_open) return kStreamNotOpen;
  if (text == nullptr) return kStreamNoText;
  const size_t length = std::strlen(text);
  if (length > kMaxLineBytes) return kStreamLineTooLong;
  if (length == 0) return kStreamOk;
  const size_t n = (length + 15) / 16 * 16;

  std::memset(m_buffer, 0, n);
  std::memcpy(m_buffer, text, length);
  uint8_t* record = m_cipher_buffer;
  put_le32(record, static_cast<uint32_t>(n));
  if (m_cipher->encrypt_cbc(m_buffer, record + 4, n) != 0) return kStreamLineTooLong;
  if (m_file.write(record, 4 + n) != 0) {
    m_write_failed = true;
    return kStreamLineTooLong;
  }
  return kStreamOk;
}

int TaskFileCipherStream::read_line(std::string* line_ret) {
  if (!m_open) return kStreamNotOpen;
  if (line_ret == nullptr) return kStreamNoBuffer;
  line_ret->clear();
  uint8_t length[4];
  if (m_file.read_full(length, 4) != 4) return kStreamNoFile;
  const uint32_t n = get_le32(length);
  if (n > kMaxLineBytes || n % 16 != 0) return kStreamNoFile;
  if (n == 0) return kStreamOk;
  if (m_file.read_full(m_cipher_buffer, n) != static_cast<std::ptrdiff_t>(n)) return kStreamShortRecord;
  std::memset(m_buffer, 0, n + 16);
  if (m_cipher->decrypt_cbc(m_cipher_buffer, m_buffer, n) != 0) return kStreamShortRecord;
  line_ret->assign(reinterpret_cast<const char*>(m_buffer), strnlen(reinterpret_cast<const char*>(m_buffer), n));
  return kStreamOk;
}

bool TaskFileCipherStream::close() {
  m_open = false;
  if (!m_file.is_open()) return true;
  if (m_file.close() != 0) {
    m_write_failed = true;
    return false;
  }
  return true;
}

}  // namespace tasks
