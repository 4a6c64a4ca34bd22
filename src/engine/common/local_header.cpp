/* engine/common/local_header.cpp - reading an item's local header. */
#include "engine/common/local_header.h"

#include <vector>

#include "engine/common/ascii_case.h"
#include "engine/common/checks.h"

namespace ostrana {

using namespace zip;

int read_local_header(ArchiveInput& in, uint64_t header_offset, std::string_view central_raw_name,
                      LocalEntry* ret) {
  int64_t length = in.length();
  SAFETY_CHECK(length >= 0);
  uint64_t len = static_cast<uint64_t>(length);
  SAFETY_CHECK(header_offset <= len && len - header_offset >= kLocalHeaderSize);

  uint8_t fixed[kLocalHeaderSize];
  SAFETY_CHECK(in.read_at(header_offset, fixed, sizeof fixed) == static_cast<std::ptrdiff_t>(sizeof fixed));
  LocalEntry e;
  SAFETY_CHECK(parse_local_header(fixed, &e.header));
  e.header_offset = header_offset;

  // Name and extra field: at most 128 KiB, bounded by the 16-bit lengths.
  size_t variable = size_t{e.header.name_nbytes} + e.header.extra_nbytes;
  SAFETY_CHECK(len - header_offset - kLocalHeaderSize >= variable);
  std::vector<uint8_t> bytes;
  try {
    bytes.resize(variable);
  } catch (const std::bad_alloc&) {
    return OU_OUT_OF_MEMORY;
  }
  if (variable != 0)
    SAFETY_CHECK(in.read_at(header_offset + kLocalHeaderSize, bytes.data(), variable) ==
                 static_cast<std::ptrdiff_t>(variable));

  std::string_view local_name(reinterpret_cast<const char*>(bytes.data()), e.header.name_nbytes);
  e.name_matches = ascii_iequal(local_name, central_raw_name);

  Zip64Header h;
  h.uncompressed_size = e.header.uncompressed_size;
  h.compressed_size = e.header.compressed_size;
  FORWARD_IF_ERROR(scan_entry_extras(bytes.data() + e.header.name_nbytes, e.header.extra_nbytes, h,
                                     ExtraScope::kLocal, &e.extras));
  e.method = e.header.method;
  if (e.method == kMethodAes && e.extras.has_aes) e.method = e.extras.aes.method;
  e.data_offset = header_offset + kLocalHeaderSize + variable;
  *ret = e;
  return 0;
}

}  // namespace ostrana
