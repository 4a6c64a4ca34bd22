/* tests/engine/zip/encrypted_archive_test.cpp - encryption through the zip entry.
 *
 * Risks: the record's encryption settings chosen or refused wrongly (empty or
 * too long password, AES strength 0); headers that readers need marked
 * wrongly (flags, versions 51, the 0x0017 block, folders encrypted); an
 * update that re-encrypts, or damages, an entry it only copies; a wrong
 * password that extraction does not report as 44.
 */
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "../unzip/decrypt_test_util.h"
#include "engine/common/zip_records.h"
#include "ostrana.h"
#include "peer_run.h"
#include "platform/random.h"
#include "zip_writer_test_util.h"

using testenv::WalkedItem;
using writertest::WriterTest;

namespace {

const WalkedItem* find(const std::vector<WalkedItem>& items, const std::string& name) {
  for (const auto& i : items)
    if (i.name == name) return &i;
  return nullptr;
}

/// The bytes of @p item from its local header to the end of its data.
std::vector<uint8_t> entry_bytes(const std::vector<uint8_t>& archive, const WalkedItem& item) {
  size_t local = item.data_offset - 30 - item.name.size() - item.local_extra.size();
  return std::vector<uint8_t>(archive.begin() + local, archive.begin() + item.data_offset + item.compressed_size);
}

/// The content of @p name in "a.zip" through the engine's reader with @p password.
std::string content(const std::vector<uint8_t>& archive, const WalkedItem& item, const char* password) {
  auto run = decrypt_test::run_decrypt(archive, item, password);
  if (run.open_rc != 0) return "<open " + std::to_string(run.open_rc) + ">";
  auto data = item.method == 8 ? decrypt_test::python_inflate(run.data) : run.data;
  return std::string(data.begin(), data.end());
}

using EncryptedArchive = WriterTest;

TEST_F(EncryptedArchive, RefusesMissingOrUnusablePasswordsAndStrengths) {
  put("f.txt", "text");
  struct Case {
    const char* password;
    uint32_t options2;
    int32_t strength;
    bool detail;
  };
  const std::string long_password(129, 'x');
  const Case cases[] = {
      {nullptr, 0, 0, true},                          // no password
      {"", 0, 0, true},                               // empty
      {long_password.c_str(), 0, 0, true},            // beyond what the reader takes
      {"pw", ZIP_OPT2_AES, 0, false},                 // AES without a strength
      {"pw", ZIP_OPT2_RESERVED_3, 1, false},          // bit 3 without bit 2
  };
  for (const Case& c : cases) {
    ZIPCMDSTRUCT cmd = record(ZIP_ADD, "f.txt");
    cmd.encryptFlag = 1;
    cmd.lpszEncryptCode = c.password;
    cmd.lZipSubOptions2 = c.options2;
    cmd.lSEInfo = c.strength;
    EXPECT_EQ(OZ_BAD_PARAMETERS, run(cmd));
    auto errors = shown(OSTRANA_DISPLAY_ERROR);
    ASSERT_EQ(1u, errors.size());
    EXPECT_EQ(c.detail, errors[0].find("was getting encryption password") != std::string::npos) << errors[0];
  }
  EXPECT_TRUE(temp_files().empty());
  EXPECT_EQ(-1, ::access("a.zip", F_OK));
}

TEST_F(EncryptedArchive, NoRandomSourceIsOutOfMemoryAndNoArchive) {
  put("f.txt", "text");
  platform::set_random_provider([](void*, size_t) { return EIO; });
  for (uint32_t options2 : {0u, static_cast<uint32_t>(ZIP_OPT2_AES)}) {
    ZIPCMDSTRUCT cmd = record(ZIP_ADD, "f.txt");
    cmd.encryptFlag = 1;
    cmd.lpszEncryptCode = "pw";
    cmd.lZipSubOptions2 = options2;
    cmd.lSEInfo = 1;
    EXPECT_EQ(OZ_OUT_OF_MEMORY, run(cmd));
    auto errors = shown(OSTRANA_DISPLAY_ERROR);
    ASSERT_EQ(1u, errors.size());
    EXPECT_NE(std::string::npos, errors[0].find("was getting encryption password")) << errors[0];
  }
  platform::set_random_provider(nullptr);
  EXPECT_EQ(-1, ::access("a.zip", F_OK));
  EXPECT_TRUE(temp_files().empty());
}

TEST_F(EncryptedArchive, EveryFileEntryIsMarkedAndFoldersAreNot) {
  put("d/t.txt", std::string(5000, 'a'));
  put("d/e.txt", "");
  const std::string password(128, 'k');  // the longest accepted, used whole
  for (int strength = 0; strength <= 3; ++strength) {
    SCOPED_TRACE(strength);
    ::unlink("a.zip");
    ZIPCMDSTRUCT cmd = record(ZIP_ADD, "d/*");
    cmd.encryptFlag = 1;
    cmd.lpszEncryptCode = password.c_str();
    if (strength != 0) {
      cmd.lZipSubOptions2 = ZIP_OPT2_AES;
      cmd.lSEInfo = strength;
    }
    ASSERT_EQ(0, run(cmd));
    const auto archive = bytes("a.zip");
    const auto items = entries();
    ASSERT_EQ(3u, items.size());
    EXPECT_EQ(0, find(items, "d/")->flags & 0x41);
    EXPECT_TRUE(find(items, "d/")->extra_block(0x0017).empty());
    for (const char* name : {"d/t.txt", "d/e.txt"}) {
      const WalkedItem* i = find(items, name);
      ASSERT_NE(nullptr, i);
      EXPECT_EQ(strength == 0 ? 0x01 : 0x41, i->flags & 0x49);
      EXPECT_EQ(strength == 0, i->extra_block(0x0017).empty());
      EXPECT_EQ(std::string(name) == "d/t.txt" ? std::string(5000, 'a') : "", content(archive, *i, password.c_str()));
      EXPECT_EQ("<open 44>", content(archive, *i, password.substr(0, 65).c_str()));
    }
    const WalkedItem* e = find(items, "d/e.txt");
    EXPECT_EQ(strength == 0 ? 12u : 294u + 16, e->compressed_size);
  }
}

TEST_F(EncryptedArchive, StrongEntriesNeedVersion51) {
  put("f.txt", "some text that deflates, some text that deflates");
  ZIPCMDSTRUCT cmd = record(ZIP_ADD, "f.txt");
  cmd.encryptFlag = 1;
  cmd.lpszEncryptCode = "pw";
  cmd.lZipSubOptions2 = ZIP_OPT2_AES;
  cmd.lSEInfo = 2;
  cmd.LargeZIPFilesFlag = 1;  // 45 would be the Zip64 version: 51 is higher
  ASSERT_EQ(0, run(cmd));
  const auto archive = bytes("a.zip");
  const auto items = entries();
  ASSERT_EQ(1u, items.size());
  const WalkedItem& f = items[0];
  size_t local = f.data_offset - 30 - f.name.size() - f.local_extra.size();
  EXPECT_EQ(51, archive[local + 4]);
  for (size_t at = 0; at + 46 <= archive.size(); ++at)
    if (ostrana::zip::get_le32(archive.data() + at) == ostrana::zip::kCentralHeaderSignature) {
      EXPECT_EQ(51, archive[at + 4]);  // made by
      EXPECT_EQ(51, archive[at + 6]);  // needed
    }
  EXPECT_EQ("some text that deflates, some text that deflates", content(archive, f, "pw"));
}

TEST_F(EncryptedArchive, UpdateCopiesEncryptedEntriesUnchangedWhateverThePassword) {
  put("a.txt", std::string(3000, 'a'), 1262347200);
  put("b.txt", std::string(3000, 'b'), 1262347200);
  ZIPCMDSTRUCT first = record(ZIP_ADD, "a.txt b.txt");
  first.encryptFlag = 1;
  first.lpszEncryptCode = "one";
  first.lZipSubOptions2 = ZIP_OPT2_AES;
  first.lSEInfo = 3;
  ASSERT_EQ(0, run(first));
  const auto before = bytes("a.zip");
  const auto old_items = entries();

  // b.txt is newer now; a.txt is not and is copied.
  put("b.txt", std::string(2000, 'B'), 1577880000);
  put("c.txt", "new file");
  ZIPCMDSTRUCT second = record(ZIP_UPDATE, "a.txt b.txt c.txt");
  second.encryptFlag = 1;
  second.lpszEncryptCode = "two";
  ASSERT_EQ(0, run(second));
  const auto after = bytes("a.zip");
  const auto items = entries();
  ASSERT_EQ(3u, items.size());
  EXPECT_EQ(entry_bytes(before, *find(old_items, "a.txt")), entry_bytes(after, *find(items, "a.txt")));
  EXPECT_EQ(find(old_items, "a.txt")->central_extra, find(items, "a.txt")->central_extra);
  EXPECT_EQ(std::string(3000, 'a'), content(after, *find(items, "a.txt"), "one"));
  // The entries written now are under the new password and scheme.
  EXPECT_EQ(0x01, find(items, "b.txt")->flags & 0x41);
  EXPECT_EQ(std::string(2000, 'B'), content(after, *find(items, "b.txt"), "two"));
  EXPECT_EQ("new file", content(after, *find(items, "c.txt"), "two"));
}

TEST_F(EncryptedArchive, WrongPasswordThroughExtractionIs44) {
  put("f.txt", "the content");
  // The password question is answered Cancel: the run ends with 44.
  messages.answer = [](const enginetest::DisplayCall& c) { return c.type == 9 ? OSTRANA_ID_CANCEL : OSTRANA_ID_OK; };
  for (int strength = 0; strength <= 3; ++strength) {
    SCOPED_TRACE(strength);
    // A name of its own per scheme: same-sized archives written within one
    // second must not look like the same file to the reader's directory cache.
    const std::string name = "s" + std::to_string(strength) + ".zip";
    ZIPCMDSTRUCT cmd = record(ZIP_ADD, "f.txt");
    cmd.lpszZIPFile = name.c_str();
    cmd.encryptFlag = 1;
    cmd.lpszEncryptCode = "right";
    if (strength != 0) {
      cmd.lZipSubOptions2 = ZIP_OPT2_AES;
      cmd.lSEInfo = strength;
    }
    ASSERT_EQ(0, run(cmd));

    UNZIPCMDSTRUCT u;
    std::memset(&u, 0, sizeof u);
    u.structSize = UNZIPCMDSTRUCT_SIZE_L600;
    u.Function = UNZIP_EXTRACT;
    u.lpszZIPFile = name.c_str();
    u.index = -1;
    u.lpszFilespec = "*";
    const std::string out = dir + "/out";
    u.lpszDestination = out.c_str();
    u.overWriteFlag = 1;
    u.decryptFlag = 1;
    u.lpMessageDisplay = enginetest::MessageRecorder::proc;
    u.lpMessageDisplayData = &messages;
    u.wUnzipSubOptions = UNZIP_OPT_NO_PUMP;
    u.lpszDecryptCode = "wrong";
    EXPECT_EQ(OU_BAD_PASSWORD, OstranaUnzip(&u));
    EXPECT_EQ(-1, ::access("out/f.txt", F_OK));
    u.lpszDecryptCode = "right";
    EXPECT_EQ(OU_SUCCESS, OstranaUnzip(&u));
    const auto extracted = bytes("out/f.txt");
    EXPECT_EQ("the content", std::string(extracted.begin(), extracted.end()));
    ::unlink("out/f.txt");
  }
}

/// Collects what memory-to-memory hands out; hands the engine a text (in
/// pieces of 1,000 bytes) when it asks for data.
struct CallbackEnds {
  std::string input;
  size_t input_at = 0;
  std::vector<uint8_t> output;

  static void proc(int direction, uint8_t* buffer, uint32_t* length, uint32_t, uint32_t, uint32_t, uint32_t,
                   void* user, int32_t* status) {
    auto* self = static_cast<CallbackEnds*>(user);
    if (direction == OSTRANA_DATA_FROM_ENGINE) {
      self->output.insert(self->output.end(), buffer, buffer + *length);
      return;
    }
    size_t n = std::min<size_t>({*length, 1000, self->input.size() - self->input_at});
    std::memcpy(buffer, self->input.data() + self->input_at, n);
    self->input_at += n;
    *length = static_cast<uint32_t>(n);
    if (self->input_at == self->input.size()) *status = OSTRANA_DATA_END;
  }
};

TEST_F(EncryptedArchive, CallbackDataIsEncryptedAsItStreamsAndPeersReadIt) {
  // Data from a callback cannot be read twice: the header goes first (flag
  // bit 3, a stored IV, the DOS-time check byte), as on multi-volume output.
  std::string text;
  for (int i = 0; i < 3000; ++i) text += "streamed line " + std::to_string(i * 13 % 101) + "\n";
  for (int strength = 0; strength <= 3; ++strength) {
    SCOPED_TRACE(strength);
    const std::string name = "cb" + std::to_string(strength) + ".zip";
    CallbackEnds ends;
    ends.input = text;
    OSTRANA_CALLBACK_STRUCT callback{0, CallbackEnds::proc, &ends};
    ZIPCMDSTRUCT cmd = record(ZIP_ADD_FROM_CALLBACK, "from/callback.txt");
    cmd.lpszZIPFile = name.c_str();
    cmd.lpCallbackStruct = &callback;
    cmd.encryptFlag = 1;
    cmd.lpszEncryptCode = "cb";
    if (strength != 0) {
      cmd.lZipSubOptions2 = ZIP_OPT2_AES;
      cmd.lSEInfo = strength;
    }
    ASSERT_EQ(0, run(cmd));
    const auto archive = bytes(name);
    const auto items = entries(name);
    ASSERT_EQ(1u, items.size());
    EXPECT_EQ(strength == 0 ? 0x09 : 0x49, items[0].flags & 0x49);
    if (strength != 0) { EXPECT_EQ(16, archive[items[0].data_offset]); }  // IV size
    EXPECT_EQ(text, content(archive, items[0], "cb"));
    if (testenv::have_7zz()) {
      EXPECT_EQ(0, testenv::run_command("7zz t -pcb " + name + " >/dev/null 2>&1")) << "7-Zip tests " << name;
    }
  }
}

TEST_F(EncryptedArchive, MemoryToMemoryEncryptsTheItemItHandsOut) {
  std::string text;
  for (int i = 0; i < 500; ++i) text += "memory line " + std::to_string(i % 37) + "\n";
  for (int strength = 0; strength <= 3; ++strength) {
    SCOPED_TRACE(strength);
    CallbackEnds ends;
    std::vector<uint8_t>& out = ends.output;
    OSTRANA_CALLBACK_STRUCT callback{0, CallbackEnds::proc, &ends};
    ZIPCMDSTRUCT cmd = record(ZIP_MEMORY_TO_MEMORY, "");
    cmd.lpszZIPFile = nullptr;
    cmd.lpCallbackStruct = &callback;
    cmd.lpMemBlock = const_cast<char*>(text.data());
    cmd.lMemBlockSize = static_cast<uint32_t>(text.size());
    cmd.encryptFlag = 1;
    cmd.lpszEncryptCode = "mem";
    if (strength != 0) {
      cmd.lZipSubOptions2 = ZIP_OPT2_AES;
      cmd.lSEInfo = strength;
    }
    ASSERT_EQ(0, run(cmd));
    ostrana::zip::CentralHeader h;
    ASSERT_TRUE(ostrana::zip::parse_central_header(out.data(), &h));
    EXPECT_EQ(strength == 0 ? 0x01 : 0x41, h.flags & 0x49);
    ASSERT_EQ(out.size(), 46u + h.extra_nbytes + h.compressed_size);
    EXPECT_EQ(strength == 0 ? 0u : 16u, h.extra_nbytes);

    ostrana::ItemDataInfo info;
    info.flags = h.flags;
    info.crc32 = h.crc32;
    info.dos_time = h.mod_time;
    info.compressed_size = h.compressed_size;
    info.uncompressed_size = h.uncompressed_size;
    if (h.extra_nbytes != 0) {
      info.strong_block = out.data() + 46;
      info.strong_block_nbytes = h.extra_nbytes;
    }
    info.password = "mem";
    auto run = decrypt_test::run_decrypt_info(info, std::vector<uint8_t>(out.begin() + 46 + h.extra_nbytes, out.end()));
    ASSERT_EQ(0, run.open_rc);
    const auto data = decrypt_test::python_inflate(run.data);
    EXPECT_EQ(text, std::string(data.begin(), data.end()));
  }
}

}  // namespace
