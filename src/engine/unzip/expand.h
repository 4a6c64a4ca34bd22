/* engine/unzip/expand.h - expanding one item's data: the driver of the expanders.
 *
 * The extraction hands over one item at a time: its method, flags and sizes,
 * the source of its (decrypted) data and the sink of the output stage.  The
 * driver reports the start of the item, picks the expander by method, runs
 * it through an output buffer that is handed to the sink whenever it is full,
 * watches the output for overgrowth, lets the caller cancel between buffers,
 * reads an AES item's authentication code after its data, and maps what the
 * expander says to the engine's result codes.
 *
 * Methods: 0 store, 1 shrink, 2-5 reduce (factor 1-4), 6 implode, 8 deflate,
 * 9 Deflate64.  Method 7 (tokenize) and every number above 9 are refused with
 * kExpandUnknownMethod before any output.
 *
 * The driver knows nothing of ZIP records or of the engine's thread state:
 * the caller fills an ExpandRequest.  An Expander keeps its buffers and
 * tables between items, so one object per unzip run serves all its items.
 */
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/common/byte_stream.h"
#include "engine/common/zip_records.h"
#include "ostrana_results.h"

namespace ostrana {

// ---- results ------------------------------------------------------------------
// The values are those of the unzip side's result table (ostrana_results.h).

inline constexpr int kExpandOk = OU_SUCCESS;                    ///< 0: the data is complete
inline constexpr int kExpandDamaged = OU_UNEXPECTED_EOF;        ///< 2: damaged data, or data that ends early
inline constexpr int kExpandOvergrown = OU_BAD_STRUCTURE;       ///< 3: output 1,000 bytes beyond the item's size
inline constexpr int kExpandNoMemory = OU_OUT_OF_MEMORY;        ///< 5: buffers or tables could not be allocated
inline constexpr int kExpandBadRequest = OU_SYNTAX;             ///< 47: no source or no sink given
inline constexpr int kExpandUnknownMethod = OU_UNKNOWN_METHOD;  ///< 42: method 7 or above 9
inline constexpr int kExpandCancelled = OU_USER_CANCELLED;      ///< 48: a progress hook asked to stop
inline constexpr int kExpandOutputFull = OU_DISK_FULL;          ///< 50: the sink is full (its own code, passed on)

/// True when expand() can handle @p method (the numbers of zip_records.h).
constexpr bool expand_supports_method(uint16_t method) {
  return method <= zip::kMethodDeflate64 && method != zip::kMethodTokenize;
}

/// Where the output goes; decides buffer sizes and the overgrowth watch.
enum class ExpandMode {
  kToFile,          ///< extraction to a file, and testing: 61,440-byte output buffer, overgrowth stops at 1,000 bytes
  kToMemory,        ///< file to memory: 8,192-byte buffers, no overgrowth watch (the sink bounds the output)
  kMemoryToMemory,  ///< memory to memory: as kToMemory; a deflate stream that ends between blocks is complete
};

/// What the caller hears while an item expands.  Every member has a default
/// that does nothing, so a caller overrides only what it needs.
class ExpandHooks {
 public:
  virtual ~ExpandHooks() = default;

  /// The item starts (the minor status report at 0 percent).
  /// @return non-zero to cancel: the item ends with kExpandCancelled, nothing read.
  virtual int item_started() { return 0; }

  /// After each output buffer went to the sink: output bytes so far and
  /// compressed bytes read so far.
  /// @return non-zero to cancel: the item ends with kExpandCancelled.
  virtual int output_progress(uint64_t out_nbytes, uint64_t in_nbytes) {
    (void)out_nbytes;
    (void)in_nbytes;
    return 0;
  }

  /// For an authenticated (AES) item, called after the expander finished and
  /// the rest of the item's data was read: reads the authentication code that
  /// follows the data.  @return 0, or an engine result code that ends the item.
  virtual int read_auth_code() { return 0; }
};

/// One item to expand.  The extraction fills it from its thread state.
struct ExpandRequest {
  uint16_t method = zip::kMethodStore;  ///< compression method (after an AES block's actual method)
  uint16_t flags = 0;                ///< general purpose flags: bit 1 8 KiB implode window, bit 2 literal tree
  uint64_t compressed_nbytes = 0;    ///< the data's stored size (implode's distance table width depends on it)
  uint64_t uncompressed_nbytes = 0;  ///< the item's size: the legacy expanders stop there; overgrowth is measured from it
  ExpandMode mode = ExpandMode::kToFile;
  bool authenticated = false;        ///< AES item: read the data to its end, then hooks->read_auth_code()
  ByteSource* source = nullptr;      ///< the item's data (decrypted); reads 0 at its end.  Required.
  ByteSink* sink = nullptr;          ///< the output stage.  Required.  A non-zero write() result ends the item with that code.
  ExpandHooks* hooks = nullptr;      ///< may be null
};

class Inflater;
class Unshrinker;
class Unreducer;
class Exploder;
class BitInput;
class OutputWindow;

/// Expands items one after another, keeping buffers and tables between them.
/// Not thread-safe: one object per thread.
class Expander {
 public:
  Expander();
  ~Expander();
  Expander(const Expander&) = delete;
  Expander& operator=(const Expander&) = delete;

  /// Expands one item.
  /// @return kExpandOk, kExpandDamaged, kExpandOvergrown, kExpandNoMemory,
  ///         kExpandUnknownMethod, kExpandCancelled, kExpandBadRequest, or the
  ///         non-zero code of the sink, the source or the auth-code hook.
  int expand(const ExpandRequest& request);

  /// Bytes handed to the sink by the last expand().
  uint64_t out_nbytes() const { return m_out_nbytes; }

 private:
  /// @p sink is the driver's delivery sink in front of the request's sink.
  int run_method(const ExpandRequest& request, ByteSink& sink);

  std::unique_ptr<BitInput> m_in;
  std::unique_ptr<OutputWindow> m_out;
  std::unique_ptr<Inflater> m_inflater;
  std::unique_ptr<Unshrinker> m_unshrinker;
  std::unique_ptr<Unreducer> m_unreducer;
  std::unique_ptr<Exploder> m_exploder;
  uint64_t m_out_nbytes = 0;
};

/// Expands one item with a fresh Expander (buffers freed on return).
int expand_item(const ExpandRequest& request);

}  // namespace ostrana
