/* tests/engine/common/messages_test.cpp - message lookup, display rules and progress percents.
 *
 * Risks: a caller's translation with other printf conversions making the
 * engine read arguments it never passed; an answer taken that the buttons
 * shown could not give (the engine then acts on a question nobody answered);
 * a percent above 100 or a division by zero on an empty selection.
 */
#include <gtest/gtest.h>

#include <cstring>

#include "engine/common/message_display.h"
#include "engine/common/messages.h"
#include "engine/common/progress.h"
#include "engine/unzip/unzip_messages.h"
#include "engine/zip/zip_messages.h"
#include "engine_callbacks.h"
#include "platform/message_box.h"

using namespace ostrana;
using enginetest::BoxRecorder;
using enginetest::MessageRecorder;

TEST(Messages, ConversionSignatures) {
  EXPECT_EQ("d s ", conversion_signature("Item %d of %s"));
  EXPECT_EQ("ld ?", conversion_signature("%-5ld %% %#08l")) << "a text ending inside a conversion";
  EXPECT_EQ(conversion_signature("lpszZIPFile: %#08lx \r\n"), conversion_signature("Archiv: %08lx\r\n"));
  EXPECT_NE(conversion_signature("%d"), conversion_signature("%s"));
  EXPECT_NE(conversion_signature("%d"), conversion_signature("%ld"));
  EXPECT_EQ("* d ", conversion_signature("%*d"));
  EXPECT_EQ("", conversion_signature("100%% sure"));
}

TEST(Messages, TextOfferAndCheckedFormatting) {
  MessageRecorder recorder;
  recorder.replacements = {{71, "Objekt %d von %d"}, {72, "Entpacke %d"}};
  MessageBook book(kUnzipMessages);
  book.set_channel({MessageRecorder::proc, &recorder});
  EXPECT_EQ("Objekt 3 von 7", book.format(71, 0, 3, 7));
  EXPECT_EQ("Extracting: a.txt", book.format(72, 0, "a.txt")) << "other conversions: the engine's own text";
  ASSERT_EQ(2u, recorder.calls.size());
  EXPECT_EQ(OSTRANA_DISPLAY_TEXT_OFFER, recorder.calls[0].type);
  EXPECT_EQ(71, recorder.calls[0].code);
  EXPECT_EQ("Item %d of %d", recorder.calls[0].text);
  EXPECT_EQ("", recorder.calls[0].title);
  // Three slots stay valid together.
  const char* a = book.text(66, 0);
  const char* b = book.text(67, 1);
  const char* c = book.text(13, 2);
  EXPECT_STREQ("Ostrana Secure UnZip Error:", a);
  EXPECT_STREQ("Ostrana Secure UnZip Response:", b);
  EXPECT_STREQ("Ostrana Secure UnZip Alert", c);
  EXPECT_STREQ("", book.text(9999, 0));
}

TEST(Messages, TablesHoldEveryQuotedId) {
  for (int id : {103, 104, 105, 106, 107, 108, 109, 110, 143, 148, 152, 192, 706, 512, 519, 600, 602})
    EXPECT_NE(nullptr, find_message(kZipMessages, id)) << "zip " << id;
  for (int id = 193; id <= 247; ++id) EXPECT_NE(nullptr, find_message(kZipMessages, id)) << "zip " << id;
  for (int id = 750; id <= 757; ++id) EXPECT_NE(nullptr, find_message(kZipMessages, id)) << "zip " << id;
  for (int id = 256; id <= 278; ++id) EXPECT_NE(nullptr, find_message(kZipMessages, id)) << "zip " << id;
  for (int id = 2; id <= 155; ++id) EXPECT_NE(nullptr, find_message(kUnzipMessages, id)) << "unzip " << id;
  EXPECT_STREQ("Ostrana Secure Zip Version: 6.00.00 - %s  %s", find_message(kZipMessages, 706));
  EXPECT_STREQ("Ostrana Secure UnZip Version: 6.00.00 - %s  %s", find_message(kUnzipMessages, 148));
  // Ids are unique within a table.
  for (const MessageRow* t : {kZipMessages, kUnzipMessages})
    for (const MessageRow* r = t; r->id; ++r)
      for (const MessageRow* s = r + 1; s->id; ++s) EXPECT_NE(r->id, s->id);
}

TEST(Display, AnswerCheckByStyle) {
  struct Row {
    uint32_t style;
    std::vector<int> taken;
  };
  const Row rows[] = {{0, {1}},       {1, {1, 2}},    {2, {3, 4, 5}},          {3, {2, 6, 7}},
                      {4, {6, 7}},    {5, {2, 4}},    {15, {2, 5, 6, 7, 100, 101}}};
  for (const Row& r : rows)
    for (int answer : {-1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 100, 101}) {
      bool expected = std::find(r.taken.begin(), r.taken.end(), answer) != r.taken.end();
      EXPECT_EQ(expected, answer_fits_style(answer, r.style)) << "style " << r.style << " answer " << answer;
      // Flags above the buttons do not change the check.
      EXPECT_EQ(expected, answer_fits_style(answer, r.style | 0x40000)) << r.style;
    }
}

TEST(Display, AnswerTheStyleDoesNotOfferGoesToTheBox) {
  BoxRecorder box(OSTRANA_ID_CANCEL);
  MessageRecorder recorder;
  recorder.answer = [](const enginetest::DisplayCall&) { return OSTRANA_ID_YES; };
  char text[kMessageBufferSize] = "Insert the disk";
  char title[kMessageBufferSize] = "Request";
  MessageChannel channel{MessageRecorder::proc, &recorder};
  EXPECT_EQ(OSTRANA_ID_CANCEL, deliver_display(channel, 0, OSTRANA_MB_OKCANCEL, -1, 0, text, title, false));
  ASSERT_EQ(1u, box.calls.size());
  EXPECT_EQ("Insert the disk", box.calls[0].text);
  EXPECT_EQ(OSTRANA_MB_OKCANCEL | OSTRANA_MB_TASKMODAL | OSTRANA_MB_SETFOREGROUND | OSTRANA_MB_TOPMOST,
            box.calls[0].style);
  // An answer that fits is taken; no box.
  recorder.answer = [](const enginetest::DisplayCall&) { return OSTRANA_ID_OK; };
  EXPECT_EQ(OSTRANA_ID_OK, deliver_display(channel, 0, OSTRANA_MB_OKCANCEL, -1, 0, text, title, false));
  EXPECT_EQ(1u, box.calls.size());
  // No callback at all: the box.
  EXPECT_EQ(OSTRANA_ID_CANCEL, deliver_display({}, 2, OSTRANA_MB_OK, 0, 0, text, title, false));
  EXPECT_EQ(2u, box.calls.size());
}

TEST(Display, TypeFourteenIsNeverABox) {
  BoxRecorder box;
  char text[kMessageBufferSize] = "ready";
  char title[kMessageBufferSize] = "";
  EXPECT_EQ(1, deliver_display({}, 14, 0, 0, 0, text, title, false));
  MessageRecorder recorder;
  recorder.answer = [](const enginetest::DisplayCall&) { return 6; };
  EXPECT_EQ(-1, deliver_display({MessageRecorder::proc, &recorder}, 14, 0, 0, 0, text, title, false));
  EXPECT_TRUE(box.calls.empty());
}

TEST(Display, HeadlessDefaultAnswersTheSafeButton) {
  EXPECT_EQ(1, platform::safe_answer(0));
  EXPECT_EQ(2, platform::safe_answer(1));
  EXPECT_EQ(3, platform::safe_answer(2));
  EXPECT_EQ(2, platform::safe_answer(3));
  EXPECT_EQ(7, platform::safe_answer(4));
  EXPECT_EQ(2, platform::safe_answer(5));
  EXPECT_EQ(2, platform::safe_answer(15));
  for (uint32_t style : {0u, 1u, 2u, 3u, 4u, 5u, 15u})
    EXPECT_TRUE(answer_fits_style(platform::safe_answer(style), style)) << style;
}

TEST(Display, TablesComposeTitlesAndTexts) {
  MessageBook zip(kZipMessages);
  char title[kMessageBufferSize], text[kMessageBufferSize];
  compose_display(zip, kZipDisplayTable, 0, -1, 0, nullptr, title, text);
  EXPECT_STREQ("Ostrana Secure Zip Request", title);
  EXPECT_STREQ("Please insert the first disk of the Multi-Volume set. \nPress OK when ready or Cancel to abort.", text);
  compose_display(zip, kZipDisplayTable, 0, 3, 0, nullptr, title, text);
  EXPECT_STREQ("Please insert Disk Volume 3.  \nPress OK when ready or Cancel to abort.", text);
  compose_display(zip, kZipDisplayTable, 0, 3, -1, nullptr, title, text);
  EXPECT_STREQ("Please insert the last disk of the Multi-Volume set. \nPress OK when ready or Cancel to abort.", text);
  compose_display(zip, kZipDisplayTable, 1, 2, 5, nullptr, title, text);
  EXPECT_STREQ("Please insert Disk Volume 2 of 5. \nPress OK when ready or Cancel to abort.", text);
  compose_display(zip, kZipDisplayTable, 16, 0, 0, "/x/locked.txt", title, text);
  EXPECT_STREQ("Ostrana Secure Zip Skipping File", title);
  EXPECT_STREQ("/x/locked.txt", text);
  compose_display(zip, kZipDisplayTable, 99, 0, 0, nullptr, title, text);
  EXPECT_STREQ("Ostrana Secure Zip Error", title);
  EXPECT_STREQ("", text);

  MessageBook unzip(kUnzipMessages);
  compose_display(unzip, kUnzipDisplayTable, 10, 0, 0, nullptr, title, text);
  EXPECT_STREQ("Ostrana Secure UnZip Alert", title);
  EXPECT_STREQ("Invalid First Disk; Try again.", text);
  compose_display(unzip, kUnzipDisplayTable, 8, 0, 0, "a exists", title, text);
  EXPECT_STREQ("Ostrana Secure UnZip Warning", title);
  compose_display(unzip, kUnzipDisplayTable, 6, 0, 0, nullptr, title, text);
  EXPECT_STREQ("Ostrana Secure UnZip Error:", title);
  EXPECT_STREQ("The same disk volume can not be used as both the source and destination", text);
}

TEST(Progress, PercentRules) {
  EXPECT_EQ(0, item_percent(5, 0));
  EXPECT_EQ(33, item_percent(1, 3));
  EXPECT_EQ(100, item_percent(3, 3));
  EXPECT_EQ(100, item_percent(4, 3));
  EXPECT_EQ(50, item_percent(50000, 100000));
  EXPECT_EQ(49, item_percent(99999, 200001)) << "from 100,001 items: n / (total / 100)";
  EXPECT_EQ(0, byte_percent(1, 0));
  EXPECT_EQ(99, byte_percent(UINT64_MAX - 1, UINT64_MAX));
  EXPECT_EQ(100, byte_percent(UINT64_MAX, UINT64_MAX));
  EXPECT_EQ(50, byte_percent(1ull << 62, 1ull << 63));
}

TEST(Progress, CancelRulesFollowTheLevel) {
  int calls = 0;
  auto cancel = [](const char*, int, void* user) {
    ++*static_cast<int*>(user);
    return 1;
  };
  StatusReporter r;
  StatusReporter::Setup s;
  s.major = cancel;
  s.major_data = &calls;
  s.minor = cancel;
  s.minor_data = &calls;
  s.cancel_code = 9;
  s.pump = false;
  r.setup(s);  // level 100: answers ignored
  EXPECT_EQ(0, r.major("Item 1 of 2", 50));
  EXPECT_EQ(0, r.minor("a.txt", 10));
  s.major_cancels = true;
  r.setup(s);
  EXPECT_EQ(9, r.major("Item 1 of 2", 50));
  EXPECT_EQ(9, r.major_poll());
  EXPECT_EQ("Item 1 of 2", r.last_major_text());
  EXPECT_EQ(0, r.minor("a.txt", 10)) << "minor cancels only with option bit 1";
  s.minor_cancels = true;
  r.setup(s);
  EXPECT_EQ(9, r.minor("a.txt", 10));
  EXPECT_EQ(6, calls);
}
