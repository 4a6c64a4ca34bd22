/* tests/engine/unzip/decrypt_test_util.cpp - driving open_item_data() over archive bytes in tests. */
#include "decrypt_test_util.h"

#include "engine/common/byte_stream.h"
#include "engine/common/crc32.h"
#include "peer_run.h"

namespace decrypt_test {

DecryptRun run_decrypt(const std::vector<uint8_t>& archive, const testenv::WalkedItem& item, const char* password,
                       const std::function<void(ostrana::ItemDataInfo&)>& tweak, size_t piece) {
  const auto aes = item.extra_block(0x9901);
  const auto strong = item.extra_block(0x0017);
  ostrana::ItemDataInfo info;
  info.flags = item.flags;
  info.crc32 = item.crc32;
  info.dos_time = item.dos_time;
  info.compressed_size = item.compressed_size;
  info.uncompressed_size = item.uncompressed_size;
  if (!aes.empty()) {
    info.aes_block = aes.data();
    info.aes_block_nbytes = aes.size();
  }
  if (!strong.empty()) {
    info.strong_block = strong.data();
    info.strong_block_nbytes = strong.size();
  }
  info.password = password;
  if (tweak) tweak(info);

  return run_decrypt_info(info, std::vector<uint8_t>(archive.begin() + item.data_offset, archive.end()), piece);
}

DecryptRun run_decrypt_info(const ostrana::ItemDataInfo& info, const std::vector<uint8_t>& bytes, size_t piece) {
  DecryptRun run;
  ostrana::MemorySource raw(bytes.data(), bytes.size());
  std::unique_ptr<ostrana::ItemDataSource> source;
  run.open_rc = ostrana::open_item_data(info, raw, &source);
  if (run.open_rc != 0) return run;
  run.scheme = source->scheme();
  run.authenticates = source->authenticates();
  uint8_t buf[70000];
  size_t step = 1;
  for (;;) {
    size_t want = piece != 0 ? piece : (step = step * 7 % 65521 + 1);
    std::ptrdiff_t got = source->read(buf, want < sizeof(buf) ? want : sizeof(buf));
    if (got < 0) {
      run.read_rc = source->error();
      return run;
    }
    if (got == 0) break;
    run.data.insert(run.data.end(), buf, buf + got);
  }
  run.verify_rc = source->verify_end();
  return run;
}

std::vector<uint8_t> fixture(const std::string& relative_path) {
  return testenv::read_file(std::string(OSTRANA_FIXTURES) + "/" + relative_path);
}

std::vector<uint8_t> python_inflate(const std::vector<uint8_t>& compressed) {
  return testenv::run_python(
      "import zlib,sys\nd=zlib.decompressobj(-15)\n"
      "o=d.decompress(open(sys.argv[1],'rb').read())+d.flush()\n"
      "assert d.eof, 'deflate stream does not end'\n"
      "open(sys.argv[2],'wb').write(o)\n",
      compressed);
}

uint32_t crc_of(const std::vector<uint8_t>& data) { return ostrana::crc32(0, data.data(), data.size()); }

}  // namespace decrypt_test
