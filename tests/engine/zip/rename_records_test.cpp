/* tests/engine/zip/rename_records_test.cpp - the C records of the rename callbacks.
 *
 * Risks: a record filled past its fields, a name read back past a field whose
 * NUL the callback overwrote, a size's high word lost, or the two forms mixed up.
 */
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/zip/rename_records.h"

using namespace ostrana;

namespace {

struct Seen {
  int32_t record_size = 0;
  std::string name, source;
  uint32_t size_low = 0, size_high = 0;
  int32_t date = 0, time = 0, attributes = 0;
};

int plain_callback(void* record, void* user) {
  auto* r = static_cast<ZipRenameRecord*>(record);
  auto* seen = static_cast<Seen*>(user);
  seen->name = r->szEntryName;
  seen->source = r->szSourcePath;
  seen->date = r->lDosDate;
  seen->time = r->lDosTime;
  seen->attributes = r->lAttributes;
  std::memset(r->szEntryName, 'n', sizeof r->szEntryName);  // no NUL left
  r->lDosDate = 0x5821;
  r->lDosTime = 0x6000;
  r->lAttributes = 0x21;
  return 0;
}

int extended_callback(void* record, void* user) {
  auto* r = static_cast<ZipRenameRecordEx*>(record);
  auto* seen = static_cast<Seen*>(user);
  seen->record_size = r->lRecordSize;
  seen->name = r->szEntryName;
  seen->source = r->szSourcePath;
  seen->size_low = r->ulFileSizeLow;
  seen->size_high = r->ulFileSizeHigh;
  std::strcpy(r->szEntryName, "new/name.txt");
  r->lAttributes = 0x01;
  return 0;
}

RenameRequest request_for(std::string name, std::string source) {
  RenameRequest r;
  r.name = std::move(name);
  r.source_path = std::move(source);
  r.dos_date = 0x1234;
  r.dos_time = 0x5678;
  r.attributes = 0x20;
  r.size = 0x123456789ull;
  return r;
}

}  // namespace

TEST(RenameRecords, PlainFormCutsNamesAndReadsBackBounded) {
  Seen seen;
  RecordRenameHook hook(plain_callback, &seen, false);
  // 258 ASCII bytes and a 2-byte letter: 260 bytes, one more than the field holds.
  RenameRequest r = request_for(std::string(258, 'a') + "\xC3\xA9", "/src/a");
  hook.rename(r);
  EXPECT_EQ(std::string(258, 'a'), seen.name);  // the letter goes whole, not half
  EXPECT_EQ("/src/a", seen.source);
  EXPECT_EQ(0x1234, seen.date);
  EXPECT_EQ(0x5678, seen.time);
  EXPECT_EQ(0x20, seen.attributes);
  EXPECT_EQ(std::string(260, 'n'), r.name);  // the whole field, not a byte beyond
  EXPECT_EQ(0x5821, r.dos_date);
  EXPECT_EQ(0x6000, r.dos_time);
  EXPECT_EQ(0x21u, r.attributes);
}

TEST(RenameRecords, ExtendedFormCarriesSizeAndLongNames) {
  Seen seen;
  RecordRenameHook hook(extended_callback, &seen, true);
  std::string long_name(1500, 'b');
  RenameRequest r = request_for(long_name, "/src/" + long_name);
  hook.rename(r);
  EXPECT_EQ(4120, seen.record_size);
  EXPECT_EQ(long_name, seen.name);
  EXPECT_EQ("/src/" + long_name, seen.source);
  EXPECT_EQ(0x23456789u, seen.size_low);
  EXPECT_EQ(0x1u, seen.size_high);
  EXPECT_EQ("new/name.txt", r.name);
  EXPECT_EQ(0x01u, r.attributes);
  EXPECT_EQ(0x1234, r.dos_date);  // untouched fields come back unchanged
}

TEST(RenameRecords, NoCallbackChangesNothing) {
  RecordRenameHook hook(nullptr, nullptr, true);
  RenameRequest r = request_for("keep", "/src/keep");
  hook.rename(r);
  EXPECT_EQ("keep", r.name);
  EXPECT_EQ(0x20u, r.attributes);
}
