/* tests/engine/unzip/decrypt_test_util.h - driving open_item_data() over archive bytes in tests. */
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/unzip/decrypt.h"
#include "zip_walk.h"

namespace decrypt_test {

struct DecryptRun {
  int open_rc = -1;     ///< open_item_data()
  int read_rc = 0;      ///< error() after a failed read, else 0
  int verify_rc = -1;   ///< verify_end(), when reading succeeded
  bool authenticates = false;
  ostrana::CipherScheme scheme = ostrana::CipherScheme::kNone;
  std::vector<uint8_t> data;
};

/// Opens @p item of @p archive with @p password (nullptr: none), after
/// @p tweak may change the fields, and reads all its data in pieces of
/// @p piece bytes (0: varying sizes).  The raw source runs on to the end of
/// the archive, so a source that reads too far would show it.
DecryptRun run_decrypt(const std::vector<uint8_t>& archive, const testenv::WalkedItem& item, const char* password,
                       const std::function<void(ostrana::ItemDataInfo&)>& tweak = {}, size_t piece = 0);

/// Opens an item described by @p info over the raw bytes @p raw and reads it
/// as run_decrypt() does.
DecryptRun run_decrypt_info(const ostrana::ItemDataInfo& info, const std::vector<uint8_t>& raw, size_t piece = 0);

/// The fixture at @p relative_path under the test data's fixtures folder.
std::vector<uint8_t> fixture(const std::string& relative_path);

/// Raw-deflate @p compressed with Python's zlib (the control inflater).
std::vector<uint8_t> python_inflate(const std::vector<uint8_t>& compressed);

uint32_t crc_of(const std::vector<uint8_t>& data);

}  // namespace decrypt_test
