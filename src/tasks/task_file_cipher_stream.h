/* tasks/task_file_cipher_stream.h - the enciphered record stream of a protected task file.
 *
 * A protected task info file is a 12-byte header followed by records, each a
 * signed 32-bit little-endian length N (a multiple of 16) and N bytes of
 * AES-128-CBC ciphertext of one line (the line, a zero byte, pad bytes; the
 * pad bytes are zeros here).  The CBC chaining value starts as the IV text
 * and runs on through the whole file, so records are read in order.
 *
 * Header: check (u16, the low 16 bits of the CRC-32 of the 8-character IV
 * text), G1 (u32), G2 (u32: high 16 bits H, low 16 bits ignored by the
 * reader), B1, B2 (one byte each), all little-endian.  Key text: "%08x" of G1
 * and 8 zero bytes; IV text: "%02x%04x%02x" of B1, H, B2 and 8 zero bytes.
 * The values come from 16 random bytes taken as a GUID (Data1 = bytes 0-3,
 * Data3 = bytes 6-7, Data4 = bytes 8-15, little-endian): G1 = Data1,
 * G2 = Data3 << 16 | Data4[2] << 8 | Data4[7], B1 = Data4[1], B2 = Data4[4].
 * The protection hides the task's parameters from casual viewing and editing;
 * it keeps no secret, as every file carries the values its key is built from.
 *
 * The cipher is the engine's AES through bridge/task_cipher.h; the random
 * bytes come from platform/random.h unless a test supplies its own source.
 * All buffers are fixed; nothing is allocated per line.
 */
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/file.h"

namespace bridge {
class TaskCipher;
}

namespace tasks {

/// Results of the stream (0 is success; callers test for zero).
enum CipherStreamResult : int {
  kStreamOk = 0,
  kStreamNoFile = 1,          ///< no path, cannot create/open, empty file; on reading: the end
  kStreamNoBuffer = 16,       ///< read line without a buffer
  kStreamNoText = 17,         ///< write line without a text
  kStreamKeyRefused = 18,     ///< the cipher refused the key
  kStreamLineTooLong = 19,    ///< a line of 16,384 bytes or more, or enciphering failed
  kStreamShortRecord = 20,    ///< fewer bytes than the record announced
  kStreamHeaderMismatch = 21, ///< the header's check value does not match (or no full header)
  kStreamNotOpen = -1,        ///< the stream is not open
};

class TaskFileCipherStream {
 public:
  static constexpr size_t kHeaderBytes = 12;
  static constexpr size_t kLineBufferBytes = 16400;  ///< a 16,384-byte line and its pad

  /// Supplies the 16 random bytes one header is built from; false when none could be had.
  using RandomSource = std::function<bool(uint8_t bytes_ret[16])>;

  /// The header's values.
  struct Header {
    uint16_t check = 0;
    uint32_t g1 = 0;
    uint32_t g2 = 0;
    uint8_t b1 = 0;
    uint8_t b2 = 0;
  };

  /// @p random defaults to the system's random bytes.
  explicit TaskFileCipherStream(RandomSource random = {});
  ~TaskFileCipherStream();
  TaskFileCipherStream(const TaskFileCipherStream&) = delete;
  TaskFileCipherStream& operator=(const TaskFileCipherStream&) = delete;

  /// Creates or truncates @p path, draws the random values and writes the header.
  /// @return 0, 1 (no path, cannot create, no random values) or 18.
  int open_for_writing(const char* path);
  /// Opens @p path and verifies its header.  @return 0, 1, 21 or 18.
  int open_for_reading(const char* path);
  /// Enciphers and writes @p text (up to its zero byte).  An empty text writes
  /// nothing.  @return 0, 17, 19 or -1.
  int write_line(const char* text);
  /// Reads and deciphers the next line into @p line_ret (up to its first zero
  /// byte; a record of length 0 gives an empty line).  @return 0, 1 (the end or
  /// a length out of range), 20, 16 or -1.
  int read_line(std::string* line_ret);
  /// Closes the file if open.  @return false when closing reported an error.
  bool close();

  bool is_open() const { return m_open; }
  /// True when a write to the file failed since it was opened.
  bool write_failed() const { return m_write_failed; }
  const Header& header() const { return m_header; }

  /// Key and IV texts of a header (16 bytes each), as the file format defines them.
  static std::array<uint8_t, 16> key_text(const Header& header);
  static std::array<uint8_t, 16> iv_text(const Header& header);
  /// The check value over the IV text's 8 characters.
  static uint16_t check_value(const Header& header);
  /// Lays 16 random bytes out as a header (GUID mapping above); check filled in.
  static Header header_from_random(const uint8_t random[16]);

 private:
  int set_up_cipher();

  RandomSource m_random;
  platform::File m_file;
  std::unique_ptr<bridge::TaskCipher> m_cipher;
  Header m_header;
  bool m_open = false;
  bool m_write_failed = false;
  uint8_t m_buffer[kLineBufferBytes];
  uint8_t m_cipher_buffer[kLineBufferBytes];
};

}  // namespace tasks
