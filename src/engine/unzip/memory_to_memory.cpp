/* engine/unzip/memory_to_memory.cpp - function 10: an item in and out through the caller's callback. */
#include "engine/unzip/memory_to_memory.h"

#include <vector>

#include "engine/common/activity_log.h"
#include "engine/common/zip_extra.h"
#include "engine/common/zip_records.h"
#include "engine/unzip/decrypt.h"
#include "engine/unzip/expand.h"
#include "engine/unzip/extraction.h"
#include "engine/unzip/output_stage.h"
#include "engine/unzip/unzip_run.h"

namespace ostrana {
namespace {

/// The caller's bytes (direction 0), one stream from position 0.
class CallbackSource final : public ByteSource {
 public:
  CallbackSource(OSTRANA_DATA_PROC proc, void* user) : m_proc(proc), m_user(user) {}

  std::ptrdiff_t read(uint8_t* buf, size_t avail) override {
    if (m_error != 0) return -1;
    if (m_ended || avail == 0) return 0;
    uint32_t length = static_cast<uint32_t>(avail < UINT32_MAX ? avail : UINT32_MAX);
    int rc = call_data_proc(m_proc, m_user, OSTRANA_DATA_TO_ENGINE, buf, &length, m_position);
    if (rc == OU_UNEXPECTED_EOF) {
      m_ended = true;  // these bytes were the last ones
    } else if (rc != 0) {
      m_error = rc;
      return -1;
    } else if (length == 0) {
      m_ended = true;  // a caller with nothing more to give has ended its data
    }
    m_position += length;
    return static_cast<std::ptrdiff_t>(length);
  }

  int error() const override { return m_error; }

  /// Reads exactly @p nbytes.  @return 0, the caller's code, or 2 when the data ends first.
  int read_exact(uint8_t* buf, size_t nbytes) {
    while (nbytes != 0) {
      std::ptrdiff_t n = read(buf, nbytes);
      if (n < 0) return m_error;
      if (n == 0) return OU_UNEXPECTED_EOF;
      buf += n;
      nbytes -= static_cast<size_t>(n);
    }
    return 0;
  }

 private:
  OSTRANA_DATA_PROC m_proc;
  void* m_user;
  uint64_t m_position = 0;
  bool m_ended = false;
  int m_error = 0;
};

int expand_one(UnzipRun& run) {
  CallbackSource in(run.data_proc, run.data_user);
  uint8_t fixed[zip::kCentralHeaderSize];
  if (int rc = in.read_exact(fixed, sizeof fixed)) return rc;
  zip::CentralHeader h;
  if (!zip::parse_central_header(fixed, &h)) return OU_BAD_STRUCTURE;
  std::vector<uint8_t> variable(h.variable_nbytes());
  if (int rc = in.read_exact(variable.data(), variable.size())) return rc;
  const uint8_t* extra = variable.data() + h.name_nbytes;
  zip::Zip64Header z{h.uncompressed_size, h.compressed_size, h.local_header_offset, h.disk_start};
  zip::EntryExtras extras;
  if (int rc = zip::scan_entry_extras(extra, h.extra_nbytes, z, zip::ExtraScope::kCentral, &extras)) return rc;
  const uint16_t method = h.method == zip::kMethodAes && extras.has_aes ? extras.aes.method : h.method;
  if (!expand_supports_method(method)) return OU_UNKNOWN_METHOD;

  ItemDataInfo info;
  info.flags = h.flags;
  info.crc32 = h.crc32;
  info.dos_time = h.mod_time;
  info.compressed_size = extras.zip64.compressed_size;
  info.uncompressed_size = extras.zip64.uncompressed_size;
  cipher_blocks_of(extra, h.extra_nbytes, &info);
  info.password = run.password.empty() ? nullptr : run.password.c_str();
  std::unique_ptr<ItemDataSource> source;
  if (int rc = open_item_data(info, in, &source)) return rc;

  OutputStage output;
  OutputStage::Setup setup;
  setup.target = OutputStage::Target::kCallback;
  setup.text_mode = run.cmd.textOutputFlag != 0;
  setup.proc = run.data_proc;
  setup.proc_user = run.data_user;
  output.start(setup);
  const std::string text = run.messages.text(kUnzipMsgMemoryToMemory, 0);
  ItemHooks hooks(run.status, text, info.uncompressed_size, source.get());
  ExpandRequest request;
  request.method = method;
  request.flags = h.flags;
  request.compressed_nbytes = info.compressed_size;
  request.uncompressed_nbytes = info.uncompressed_size;
  request.mode = ExpandMode::kMemoryToMemory;
  request.authenticated = source->authenticates();
  request.source = source.get();
  request.sink = &output;
  request.hooks = &hooks;
  int rc = expand_item(request);
  if (rc == 0 && !request.authenticated) rc = source->verify_end();
  if ((rc == OU_UNEXPECTED_EOF || rc == OU_BAD_STRUCTURE) && request.authenticated)
    rc = authentication_verdict(*source, rc);
  if (rc == 0 && !request.authenticated && output.crc32() != h.crc32) rc = OU_BAD_CRC;
  return rc;
}

}  // namespace

int unzip_memory_to_memory(UnzipRun& run) {
  ActivityLog log;
  log.start((run.cmd.wUnzipSubOptions & UNZIP_OPT_ACTIVITY_LOG) != 0, run.messages,
            {kUnzipMsgActivityLogName, kUnzipMsgActivityHeader, kUnzipMsgVersion});
  log.line(run.messages.text(kUnzipMsgMemoryToMemory, 0));
  int rc = expand_one(run);
  if (rc == OU_BAD_PASSWORD) {
    if (run.quiet) return OU_USER_SKIPPED;
    std::string text = run.messages.format(kUnzipMsgWrongPassword, 0, run.messages.text(kUnzipMsgMemoryToMemory, 1));
    return run.display(9, OSTRANA_MB_OKCANCEL, OU_BAD_PASSWORD, 0, text.c_str()) == OSTRANA_ID_CANCEL
               ? OU_BAD_PASSWORD
               : OU_USER_SKIPPED;
  }
  if (rc != OU_SUCCESS && rc != OU_USER_SKIPPED && rc != OU_USER_CANCELLED && rc != OU_APP_CANCELLED)
    return unzip_report_message(run, rc, kUnzipMsgProblemExtracting);
  return rc;
}

}  // namespace ostrana
