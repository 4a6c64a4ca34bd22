/* engine/zip/entry_encryption.h - encrypting an entry's data as the archive writer stores it.
 *
 * Three schemes are written: the traditional PKWARE cipher, PKWARE strong
 * encryption with AES-128/192/256 (AES-CBC; 7-Zip reads it), and the ZIP AES
 * format (method 99 with the 0x9901 block, AE-2; AES-CTR with an HMAC-SHA1
 * authentication code), which every current reader opens.  WriteEncryption is the run's part (scheme,
 * password, random pool); EntryCipher is one entry's: it makes the encryption
 * header that sits between the local header and the data, and encrypts the
 * data that follows it.
 *
 * The header depends on the entry's CRC-32 (traditional check byte; the
 * strong-encryption IV when none is stored), so it is made in one of two ways:
 *   - after the data, when the output can be rewritten (the writer reserves
 *     the header, compresses, then encrypt_in_place() reads the data back in
 *     8 KiB blocks and writes it encrypted over itself);
 *   - before the data, when it cannot (flag bit 3): the traditional check byte
 *     is then the high byte of the DOS time, strong encryption stores a random
 *     16-byte IV, and EncryptingSink encrypts on the way out.
 *
 * The ZIP AES payload is the salt (8, 12 or 16 random bytes by key
 * strength), the 2-byte password verifier, the data encrypted with AES-CTR
 * and a 10-byte authentication code (HMAC-SHA1 over the encrypted data).  Its
 * header depends on nothing the data gives, and as AE-2 the entry's CRC-32
 * fields hold 0: the authentication code stands in for them.
 *
 * Strong encryption is written the way this engine's reader and 7-Zip read it:
 * the file data continues the CBC chain of the password validation data; with
 * no stored IV the session key hashes the 12 bytes CRC-32 + 64-bit size while
 * CBC uses them zero-padded to 16; and the data is always padded (1..16 bytes,
 * so empty data becomes one block of sixteen 0x10 bytes).
 *
 * Passwords are used whole, up to kMaxPasswordBytes (128) for both schemes -
 * the limit the reader accepts - so that whatever opens an entry on reading
 * is exactly what encrypted it.  Longer ones are refused by the zip entry.
 */
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/common/aes.h"
#include "engine/common/aes_ctr.h"
#include "engine/common/hmac_sha1.h"
#include "engine/common/byte_stream.h"
#include "engine/common/random_pool.h"
#include "engine/common/traditional_cipher.h"
#include "engine/zip/archive_output.h"
#include "engine/zip/deflate_input.h"
#include "engine/zip/zip_headers.h"

namespace ostrana {

enum class WriteScheme { kNone, kTraditional, kStrongAes, kZipAes };

/// Sizes of the strong-encryption decryption header as written.
inline constexpr size_t kStrongHeaderNbytes = 294;       ///< without a stored IV
inline constexpr size_t kStrongHeaderWithIvNbytes = 310; ///< with a 16-byte IV
/// Bytes read back and encrypted at a time by the in-place pass.
inline constexpr size_t kEncryptPassBlock = 8192;
/// Detail of a failure to make an encryption header (code 4).
inline constexpr char kEncryptionHeaderFailed[] = "unexpected error on zip file";

/// The run's encryption settings: set up once, shared by every entry.
class WriteEncryption {
 public:
  WriteEncryption() = default;
  ~WriteEncryption();  ///< wipes the password
  WriteEncryption(const WriteEncryption&) = delete;
  WriteEncryption& operator=(const WriteEncryption&) = delete;

  /// Chooses @p scheme (either AES scheme with @p strength 1..3) under
  /// @p password (1..128 bytes).  @return 0; OZ_BAD_PARAMETERS for an empty
  /// or too long password or a bad strength; OZ_OUT_OF_MEMORY when the random
  /// pool cannot be seeded.
  int setup(WriteScheme scheme, int strength, const std::string& password);

  WriteScheme scheme() const { return m_scheme; }
  bool enabled() const { return m_scheme != WriteScheme::kNone; }
  bool strong() const { return m_scheme == WriteScheme::kStrongAes; }
  bool zip_aes() const { return m_scheme == WriteScheme::kZipAes; }
  int strength() const { return m_strength; }
  /// AES key length in bytes (16, 24, 32); 0 for the traditional scheme.
  size_t key_nbytes() const;
  /// Strong-encryption algorithm id (0x660E, 0x660F, 0x6610); 0 otherwise.
  uint16_t algorithm_id() const;

  /// General purpose flag bits an encrypted entry carries: bit 0, and bit 6
  /// for strong encryption.
  uint16_t flag_bits() const;
  /// The extra block that describes the cipher: 0x0017 for strong encryption
  /// (4 + 12 bytes), 0x9901 naming @p method for the ZIP AES format (4 + 7
  /// bytes); empty for the traditional scheme.
  std::vector<uint8_t> extra_block(uint16_t method = zip::kMethodDeflate) const;
  /// Bytes of the encryption header: 12; 294, or 310 with a stored IV
  /// (@p streaming); salt + verifier for the ZIP AES format.
  size_t header_nbytes(bool streaming) const;
  /// The stored (compressed) size of @p data_nbytes of data once encrypted:
  /// header + data, padded to whole blocks for strong encryption, followed by
  /// the authentication code for the ZIP AES format.
  uint64_t stored_nbytes(uint64_t data_nbytes, bool streaming) const;

  const uint8_t* password() const { return reinterpret_cast<const uint8_t*>(m_password.data()); }
  size_t password_nbytes() const { return m_password.size(); }
  RandomPool& pool() { return m_pool; }

 private:
  WriteScheme m_scheme = WriteScheme::kNone;
  int m_strength = 0;
  std::string m_password;
  RandomPool m_pool;
};

/// What an entry's encryption header depends on.
struct EncryptionHeaderInput {
  bool streaming = false;           ///< flag bit 3: header made before the data
  uint32_t crc32 = 0;               ///< the entry's CRC-32 (not used when streaming)
  uint64_t uncompressed_nbytes = 0; ///< the entry's size (not used when streaming)
  uint16_t dos_time = 0;            ///< the entry's DOS time (the streaming check byte)
};

/// One entry's cipher.
class EntryCipher {
 public:
  explicit EntryCipher(WriteEncryption& run) : m_run(run) {}
  ~EntryCipher();  ///< wipes the key material

  /// Makes the header for @p input into *@p header_ret and keys the cipher
  /// for the data that follows.  @return 0, or OZ_OUT_OF_MEMORY (key set-up,
  /// random source or memory failed).
  int start(const EncryptionHeaderInput& input, std::vector<uint8_t>* header_ret);

  /// Encryption unit: 1 (traditional, ZIP AES) or 16 (strong).
  size_t block_nbytes() const { return m_run.strong() ? kAesBlockBytes : 1; }
  /// Encrypts @p nbytes (a multiple of block_nbytes()) in place.
  /// @return 0, or OZ_ENCRYPTION_FAILED.
  int encrypt(uint8_t* data, size_t nbytes);
  /// Ends the data: @p tail holds the last @p tail_nbytes (< block_nbytes())
  /// bytes and room for 16.  Strong encryption pads and encrypts them into a
  /// full block; the traditional cipher encrypts them as they are; the ZIP AES
  /// format puts its 10-byte authentication code there.
  /// @return the bytes of @p tail to write, or -1 (OZ_ENCRYPTION_FAILED).
  std::ptrdiff_t finish(uint8_t tail[kAesBlockBytes], size_t tail_nbytes);

 private:
  int start_traditional(const EncryptionHeaderInput& input, std::vector<uint8_t>* header_ret);
  int start_strong(const EncryptionHeaderInput& input, std::vector<uint8_t>* header_ret);
  int start_zip_aes(std::vector<uint8_t>* header_ret);

  WriteEncryption& m_run;
  TraditionalCipher m_traditional;
  ZipAesCtr m_ctr;   ///< ZIP AES format: the data's key stream
  HmacSha1 m_mac;    ///< and its authentication code, over the encrypted bytes
  AesCipher m_aes;  ///< the file session key; its chain runs on from the validation data
};

/// Encrypts on the way to @p out (flag bit 3 output): whole blocks are passed
/// on as they fill, finish() writes the padded last block.
class EncryptingSink final : public ByteSink {
 public:
  EncryptingSink(EntryCipher& cipher, ByteSink& out) : m_cipher(cipher), m_out(out) {}
  ~EncryptingSink() override;

  int write(const uint8_t* data, size_t nbytes) override;
  /// Writes what is held back, padded.  @return 0 or a code.
  int finish();
  /// Bytes handed to the output so far.
  uint64_t out_nbytes() const { return m_out_nbytes; }

 private:
  EntryCipher& m_cipher;
  ByteSink& m_out;
  std::vector<uint8_t> m_work;   ///< encrypted copy of a write (the caller's bytes stay intact)
  uint8_t m_tail[kAesBlockBytes] = {};
  size_t m_tail_nbytes = 0;
  uint64_t m_out_nbytes = 0;
};

/// Gives @p r the data's @p method and @p crc as @p run's scheme stores
/// them, and what marks an encrypted entry: flag bits and AES versions 51;
/// the ZIP AES format stores method 99 and CRC 0 (AE-2).  The cipher's extra
/// block is the caller's (extra_block()).
void mark_encrypted(const WriteEncryption& run, uint16_t method, uint32_t crc, CentralRecord* r);

/// Encrypts @p data (all of an entry's data, in memory) in place; strong
/// encryption appends the padding.  @return 0 or OZ_ENCRYPTION_FAILED.
int encrypt_all(EntryCipher& cipher, std::vector<uint8_t>* data);

/// The in-place pass: reads back the @p data_nbytes of data that start at
/// @p data_offset of @p out (which must end there), encrypts them and writes
/// them over themselves in blocks of 8,192 bytes, then appends the padding.
/// @p observer (may be null) hears after each block and may cancel.
/// @return 0 or a code: the output's, OZ_READ_FAILED, OZ_ENCRYPTION_FAILED, OZ_INTERRUPTED.
int encrypt_in_place(ArchiveOutput& out, uint64_t data_offset, uint64_t data_nbytes, EntryCipher& cipher,
                     EntryReadObserver* observer);

}  // namespace ostrana
