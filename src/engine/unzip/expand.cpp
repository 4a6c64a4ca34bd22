/* engine/unzip/expand.cpp - the per-item driver of the expanders.
 *
 * Between the expander and the caller's sink sits a small delivery sink: it
 * counts the output, stops an item whose output grows more than 1,000 bytes
 * beyond its size (outside the memory modes), and offers the caller a cancel
 * after every output buffer.  See expand.h for the contract.
 */
#include "engine/unzip/expand.h"

#include <new>

#include "engine/unzip/explode.h"
#include "engine/unzip/expander_io.h"
#include "engine/unzip/inflate.h"
#include "engine/unzip/unreduce.h"
#include "engine/unzip/unshrink.h"

namespace ostrana {
namespace {

constexpr size_t kFileOutputBuffer = 61440;
constexpr size_t kMemoryOutputBuffer = 8192;
constexpr size_t kFileInputBuffer = 65536;  // the format's 10,240 bytes is a minimum
constexpr size_t kMemoryInputBuffer = 8192;
/// The output room holds this many output buffers, so that the window slides
/// rarely compared with the bytes produced.
constexpr size_t kOutputBuffersPerRoom = 4;
/// Output beyond the item's size that stops it (outside the memory modes).
constexpr uint64_t kOvergrowthAllowance = 1000;

/// Counts, bounds and reports the output on its way to the caller's sink.
class DeliverySink final : public ByteSink {
 public:
  DeliverySink(const ExpandRequest& request, const BitInput* in) : m_request(request), m_in(in) {
    m_bounded = request.mode == ExpandMode::kToFile;
    m_bound = request.uncompressed_nbytes > UINT64_MAX - kOvergrowthAllowance
                  ? UINT64_MAX
                  : request.uncompressed_nbytes + kOvergrowthAllowance;
  }

  int write(const uint8_t* data, size_t nbytes) override {
    bool overgrown = false;
    if (m_bounded && nbytes > m_bound - m_total) {
      nbytes = static_cast<size_t>(m_bound - m_total);
      overgrown = true;
    }
    if (nbytes != 0) {
      const int rc = m_request.sink->write(data, nbytes);
      if (rc != 0) return rc;
      m_total += nbytes;
    }
    if (overgrown) return kExpandOvergrown;
    if (m_request.hooks != nullptr &&
        m_request.hooks->output_progress(m_total, m_in != nullptr ? m_in->read_nbytes() : m_stored_in) != 0)
      return kExpandCancelled;
    return 0;
  }

  uint64_t total() const { return m_total; }
  /// Store copies without a BitInput; it tells the input count here.
  void set_stored_input(uint64_t n) { m_stored_in = n; }

 private:
  const ExpandRequest& m_request;
  const BitInput* m_in;
  bool m_bounded = false;
  uint64_t m_bound = 0;
  uint64_t m_total = 0;
  uint64_t m_stored_in = 0;
};

/// Reads and drops the rest of the data (so that an authentication code
/// computed over all of it can be checked).  @return 0 or the source's code.
int drain(ByteSource& source) {
  uint8_t scratch[4096];
  for (;;) {
    const std::ptrdiff_t n = source.read(scratch, sizeof scratch);
    if (n == 0) return 0;
    if (n < 0) return source.error() != 0 ? source.error() : kExpandDamaged;
  }
}

/// Store: the data is the output.  Reads straight into the output buffer.
int copy_stored(ByteSource& source, OutputWindow& out, DeliverySink& delivery) {
  uint64_t in_total = 0;
  for (;;) {
    if (out.pos() == out.limit() && !out.flush()) return out.stop_code();
    const std::ptrdiff_t n = source.read(out.pos(), static_cast<size_t>(out.limit() - out.pos()));
    if (n < 0) return source.error() != 0 ? source.error() : kExpandDamaged;
    if (n == 0) break;
    out.set_pos(out.pos() + n);
    in_total += static_cast<uint64_t>(n);
    delivery.set_stored_input(in_total);
  }
  return out.finish() ? kExpandOk : out.stop_code();
}

template <typename T>
bool ensure(std::unique_ptr<T>& p) {
  if (!p) p.reset(new (std::nothrow) T());
  return p != nullptr;
}

}  // namespace

Expander::Expander() = default;
Expander::~Expander() = default;

int Expander::expand(const ExpandRequest& request) {
  m_out_nbytes = 0;
  if (request.source == nullptr || request.sink == nullptr) return kExpandBadRequest;
  if (request.hooks != nullptr && request.hooks->item_started() != 0) return kExpandCancelled;
  if (!expand_supports_method(request.method)) return kExpandUnknownMethod;
  if (!ensure(m_in) || !ensure(m_out)) return kExpandNoMemory;

  DeliverySink delivery(request, request.method == zip::kMethodStore ? nullptr : m_in.get());
  const int rc = run_method(request, delivery);
  m_out_nbytes = delivery.total();
  if (rc != kExpandOk) return rc;

  if (request.authenticated) {
    const int drained = drain(*request.source);
    if (drained != 0) return drained;
    if (request.hooks != nullptr) return request.hooks->read_auth_code();
  }
  return kExpandOk;
}

int Expander::run_method(const ExpandRequest& request, ByteSink& sink) {
  const bool memory = request.mode != ExpandMode::kToFile;
  const size_t chunk = memory ? kMemoryOutputBuffer : kFileOutputBuffer;
  const size_t room = chunk * kOutputBuffersPerRoom;
  const size_t in_nbytes = memory ? kMemoryInputBuffer : kFileInputBuffer;

  size_t window = 0;
  bool zero_history = false;
  switch (request.method) {
    case zip::kMethodDeflate:
    case zip::kMethodDeflate64:
      window = Inflater::window_nbytes(request.method == zip::kMethodDeflate64);
      break;
    case zip::kMethodImplode:
      window = Exploder::window_nbytes(request.flags);
      zero_history = true;
      break;
    default:
      if (request.method >= zip::kMethodReduce1 && request.method <= zip::kMethodReduce4) {
        window = Unreducer::kWindowNbytes;
        zero_history = true;
      }
      break;
  }
  if (!m_out->reserve(window, room)) return kExpandNoMemory;
  m_out->start(&sink, chunk, zero_history, request.uncompressed_nbytes);

  if (request.method == zip::kMethodStore)
    return copy_stored(*request.source, *m_out, static_cast<DeliverySink&>(sink));

  if (!m_in->reserve(in_nbytes)) return kExpandNoMemory;
  m_in->start(request.source);

  CodecStatus st;
  const uint64_t size = request.uncompressed_nbytes;
  switch (request.method) {
    case zip::kMethodShrink:
      if (!ensure(m_unshrinker)) return kExpandNoMemory;
      st = m_unshrinker->run(*m_in, *m_out, size);
      break;
    case zip::kMethodImplode:
      if (!ensure(m_exploder)) return kExpandNoMemory;
      st = m_exploder->run(*m_in, *m_out, request.flags, request.compressed_nbytes, size);
      break;
    case zip::kMethodDeflate:
    case zip::kMethodDeflate64:
      if (!ensure(m_inflater)) return kExpandNoMemory;
      st = m_inflater->run(*m_in, *m_out, request.method == zip::kMethodDeflate64);
      break;
    default:  // the reduce methods
      if (!ensure(m_unreducer)) return kExpandNoMemory;
      st = m_unreducer->run(*m_in, *m_out, request.method - 1u, size);
      break;
  }

  // Whatever the expander decoded before it stopped goes out, so that the
  // sink sees the same bytes however the buffers happened to fall: all of a
  // stream that ended between blocks, and the good part of a damaged one.
  if (st != CodecStatus::kStopped && !m_out->finish()) return m_out->stop_code();
  switch (st) {
    case CodecStatus::kDone:
    case CodecStatus::kDoneInputLeft:  // imploded data with bytes to spare is complete
      return kExpandOk;
    case CodecStatus::kEndedBetweenBlocks:
      return request.mode == ExpandMode::kMemoryToMemory ? kExpandOk : kExpandDamaged;
    case CodecStatus::kNoMemory:
      return kExpandNoMemory;
    case CodecStatus::kStopped:
      return m_out->stop_code();
    case CodecStatus::kInputFailed:
      return request.source->error() != 0 ? request.source->error() : kExpandDamaged;
    case CodecStatus::kDamaged:
      break;
  }
  return kExpandDamaged;
}

int expand_item(const ExpandRequest& request) {
  Expander expander;
  return expander.expand(request);
}

}  // namespace ostrana
