/* engine/unzip/piece_chain.cpp - an archive cut into raw pieces, read as one file. */
#include "engine/unzip/piece_chain.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "platform/file_info.h"

namespace ostrana {
namespace {

/// How far past a missing piece the chain looks for a later one (a gap).
constexpr uint32_t kGapLookahead = 16;
/// Most pieces a chain may have (the three-digit suffix).
constexpr uint32_t kMaxPieces = 999;

bool is_file(const std::string& path) { return platform::is_file_path(path); }

bool ends_with_first_suffix(const std::string& path) {
  const size_t slash = path.rfind('/');
  const size_t name = slash == std::string::npos ? 0 : slash + 1;
  return path.size() >= name + 5 && path.compare(path.size() - 4, 4, ".001") == 0;
}

}  // namespace

std::string PieceChain::first_piece_of(const std::string& path) {
  if (ends_with_first_suffix(path)) return is_file(path) ? path : std::string();
  if (path.empty() || is_file(path)) return std::string();
  platform::FileInfo info;
  if (platform::file_info(path, &info) == 0) return std::string();  // a folder, say
  const std::string first = path + ".001";
  return is_file(first) ? first : std::string();
}

std::string PieceChain::piece_name(const std::string& first, uint32_t n) {
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, ".%03u", n);
  return first.substr(0, first.size() - 4) + suffix;
}

int PieceChain::open(const std::string& first, std::string* missing_ret) {
  close();
  for (uint32_t n = 1; n <= kMaxPieces; ++n) {
    Piece p;
    p.path = piece_name(first, n);
    platform::FileInfo info;
    int err = platform::file_info(p.path, &info);
    if (err == 0 && info.is_folder()) err = EISDIR;
    if (err == ENOENT) {
      if (n == 1) return ENOENT;
      for (uint32_t later = n + 1; later <= n + kGapLookahead && later <= kMaxPieces; ++later)
        if (is_file(piece_name(first, later))) {
          if (missing_ret != nullptr) *missing_ret = p.path;
          close();
          return ENOENT;
        }
      break;
    }
    if (err != 0) {
      close();
      return err;
    }
    p.start = m_total;
    p.nbytes = info.size;
    m_total += info.size;
    m_pieces.push_back(std::move(p));
  }
  return select(0);
}

void PieceChain::close() {
  m_file.close();
  m_pieces.clear();
  m_total = 0;
  m_open = SIZE_MAX;
}

int PieceChain::select(size_t index) {
  if (index == m_open && m_file.is_open()) return 0;
  m_file.close();
  m_open = SIZE_MAX;
  if (int err = m_file.open(m_pieces[index].path, platform::File::Mode::kRead)) return err;
  m_open = index;
  return 0;
}

std::ptrdiff_t PieceChain::read_at(uint64_t offset, void* buf, size_t nbytes) {
  auto* out = static_cast<uint8_t*>(buf);
  size_t done = 0;
  // The piece that holds the offset: pieces are few, a walk is enough.
  size_t i = 0;
  while (i < m_pieces.size() && offset >= m_pieces[i].start + m_pieces[i].nbytes) ++i;
  while (done < nbytes && i < m_pieces.size()) {
    const Piece& p = m_pieces[i];
    const uint64_t within = offset + done - p.start;
    const size_t want = static_cast<size_t>(std::min<uint64_t>(nbytes - done, p.nbytes - within));
    if (want == 0) {
      ++i;
      continue;
    }
    if (select(i) != 0) return -1;
    std::ptrdiff_t got = m_file.read_at(within, out + done, want);
    if (got < 0) return -1;
    done += static_cast<size_t>(got);
    if (static_cast<size_t>(got) < want) break;  // the piece shrank since it was found
    ++i;
  }
  return static_cast<std::ptrdiff_t>(done);
}

std::string PieceChain::next_piece_name() const {
  if (m_pieces.empty()) return std::string();
  return piece_name(m_pieces.front().path, static_cast<uint32_t>(m_pieces.size() + 1));
}

bool PieceChain::may_continue() const {
  return m_pieces.size() >= 1 && m_pieces.back().nbytes == m_pieces.front().nbytes;
}

}  // namespace ostrana
