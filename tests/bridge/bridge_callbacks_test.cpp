/* tests/bridge/bridge_callbacks_test.cpp - the engine callbacks of the bridge, driven directly.
 *
 * Risks: an overwrite question asked again after All, a rename that escapes
 * the output folder, a skipped extraction reported as failure or a Stop
 * pressed during the last item lost, a UI exception thrown into the engine,
 * and engine messages shown with the wrong title or not at all.
 */
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "core/strings.h"
#include "bridge/bridge_callbacks.h"
#include "platform/message_box.h"
#include "recording_callback.h"

namespace {

using namespace bridge;
using bridgetest::Notice;
using bridgetest::RecordingCallback;

// Installs a recording UI callback as the running operation's for one test.
class BridgeCallbacks : public ::testing::Test {
 protected:
  void SetUp() override {
    bridge_state().callback = &ui;
    bridge_state().answer = 0;
  }
  void TearDown() override { bridge_state().callback = nullptr; }

  static UNZIPRENAMEINFOEX rename_record(const char* stored, const char* output) {
    UNZIPRENAMEINFOEX r;
    std::memset(&r, 0, sizeof r);
    r.lStructSize = OSTRANA_RENAMEINFOEX_SIZE;
    std::strcpy(r.szStoredName, stored);
    std::strcpy(r.szOutputPath, output);
    r.lDosDate = (30 << 9) | (6 << 5) | 15;
    r.lDosTime = (12 << 11) | (30 << 5) | 7;
    r.lAttributes = 0x21;
    r.ulSizeLow = 5;
    r.ulSizeHigh = 1;
    return r;
  }

  RecordingCallback ui;
};

TEST_F(BridgeCallbacks, AllAnswersTheQuestionForTheRestOfTheRun) {
  ui.respond = [](const Notice& n, std::string*, int32_t* answer) {
    if (n.code == kNotifyOverwrite) *answer = kAnswerAll;
    return 0;
  };
  EngineBridge bridge(core::load_string, kOverwriteAsk);
  UNZIPRENAMEINFOEX first = rename_record("dir/a.txt", "/out/dir/a.txt");
  EXPECT_EQ(overwrite_request(&first, &bridge), kAnswerAll);
  ASSERT_EQ(ui.notices.size(), 1u);
  const Notice& asked = ui.notices[0];
  EXPECT_EQ(asked.code, kNotifyOverwrite);
  EXPECT_TRUE(asked.text_was_null);
  EXPECT_EQ(asked.value, 0);
  EXPECT_TRUE(asked.has_answer && asked.has_new_name && asked.has_info);
  EXPECT_EQ(asked.info.stored_name, "dir/a.txt");
  EXPECT_EQ(asked.info.output_path, "/out/dir/a.txt");
  EXPECT_EQ(asked.info.dos_date, first.lDosDate);
  EXPECT_EQ(asked.info.dos_time, first.lDosTime);
  EXPECT_EQ(asked.info.attributes, 0x21);
  EXPECT_EQ(asked.info.size, 0x100000005ull);
  EXPECT_EQ(bridge.overwrite_mode, kOverwriteAll);
  EXPECT_STREQ(first.szOutputPath, "/out/dir/a.txt");

  UNZIPRENAMEINFOEX later = rename_record("dir/b.txt", "/out/dir/b.txt");
  EXPECT_EQ(overwrite_request(&later, &bridge), kAnswerAll);
  ASSERT_EQ(ui.notices.size(), 2u);  // nothing asked
  EXPECT_EQ(ui.notices[1].code, kNotifyItemProgress);
  EXPECT_EQ(ui.notices[1].text, "Overwritting 'dir/b.txt'...");
  EXPECT_EQ(ui.notices[1].value, 100);
  EXPECT_EQ(bridge_state().answer, kAnswerAll);
}

TEST_F(BridgeCallbacks, SkipModeReportsEveryFileAsSkipped) {
  EngineBridge bridge(nullptr, kOverwriteSkipAll);
  UNZIPRENAMEINFOEX r = rename_record("x.bin", "/out/x.bin");
  EXPECT_EQ(overwrite_request(&r, &bridge), kAnswerNo);
  ASSERT_EQ(ui.notices.size(), 1u);
  EXPECT_EQ(ui.notices[0].code, kNotifyItemProgress);
  EXPECT_EQ(ui.notices[0].text, "Skipping 'x.bin'...");
  EXPECT_EQ(ui.notices[0].value, 100);
  EXPECT_EQ(bridge.overwrite_mode, kOverwriteSkipAll);
}

TEST_F(BridgeCallbacks, NewNameStaysInTheOldOutputFolder) {
  std::string give;
  ui.respond = [&give](const Notice&, std::string* new_name, int32_t* answer) {
    *new_name = give;
    *answer = kAnswerYes;
    return 0;
  };
  EngineBridge bridge(nullptr, kOverwriteAsk);
  const std::pair<std::string, std::string> cases[] = {
      {"renamed.txt", "/out/dir/renamed.txt"},
      {"../../etc/passwd", "/out/dir/passwd"},  // only the file name is taken
      {"..", "/out/dir/a.txt"},                  // unusable names change nothing
      {"sub/", "/out/dir/a.txt"},
      {std::string(2100, 'n'), "/out/dir/a.txt"},  // would not fit the engine's buffer
  };
  for (const auto& [name, want] : cases) {
    give = name;
    UNZIPRENAMEINFOEX r = rename_record("dir/a.txt", "/out/dir/a.txt");
    EXPECT_EQ(overwrite_request(&r, &bridge), kAnswerYes);
    EXPECT_STREQ(r.szOutputPath, want.c_str()) << name.substr(0, 20);
  }
  give = "other.txt";  // no output name: nothing to rename
  UNZIPRENAMEINFOEX r = rename_record("a.txt", "");
  overwrite_request(&r, &bridge);
  EXPECT_STREQ(r.szOutputPath, "");
  EXPECT_EQ(bridge.overwrite_mode, kOverwriteAsk);
}

TEST_F(BridgeCallbacks, ProgressReportsAndTheFinalReport) {
  int32_t stop = 0;
  ui.respond = [&stop](const Notice&, std::string*, int32_t*) { return stop; };
  EngineBridge bridge(nullptr);
  EXPECT_EQ(major_status("Item 2 of 2", 100, &bridge), 0);
  EXPECT_EQ(minor_status("last.txt", 40, &bridge), 0);
  stop = 1;  // Stop pressed during the last item
  EXPECT_EQ(minor_status("last.txt", 100, &bridge), 1);
  ASSERT_EQ(ui.notices.size(), 3u);
  EXPECT_EQ(ui.notices[0].code, kNotifyOverallProgress);
  EXPECT_EQ(ui.notices[0].text, "Item 2 of 2");
  EXPECT_EQ(ui.notices[1].code, kNotifyItemProgress);
  EXPECT_EQ(ui.notices[1].text, "last.txt");
  EXPECT_EQ(ui.notices[1].value, 40);

  // Success: one more 257 with the last item text and value; its answer is the result.
  EXPECT_EQ(finish_run(bridge, 0, /*extraction=*/false), 1);
  ASSERT_EQ(ui.notices.size(), 4u);
  EXPECT_EQ(ui.notices[3].code, kNotifyOverallProgress);
  EXPECT_EQ(ui.notices[3].text, "Item 2 of 2");
  EXPECT_EQ(ui.notices[3].value, 100);

  // Skipped items are success without a final report; failures pass unchanged.
  EXPECT_EQ(finish_run(bridge, OU_USER_SKIPPED, /*extraction=*/true), 0);
  EXPECT_EQ(finish_run(bridge, OU_USER_CANCELLED, /*extraction=*/true), OU_USER_CANCELLED);
  EXPECT_EQ(finish_run(bridge, OZ_INTERRUPTED, /*extraction=*/false), OZ_INTERRUPTED);
  EXPECT_EQ(ui.notices.size(), 4u);

  bridge_state().callback = nullptr;  // no UI: nothing to ask, nothing stops
  EXPECT_EQ(major_status("Item 1 of 1", 100, &bridge), 0);
  EXPECT_EQ(finish_run(bridge, 0, /*extraction=*/true), 0);
}

TEST_F(BridgeCallbacks, AThrowingHandlerStopsTheRunWithoutThrowingIntoTheEngine) {
  ui.respond = [](const Notice&, std::string*, int32_t*) -> int32_t { throw std::runtime_error("page gone"); };
  EngineBridge bridge(nullptr);
  EXPECT_EQ(minor_status("a", 10, &bridge), 1);
  EXPECT_EQ(major_status("Item 1 of 1", 100, &bridge), 1);
  EXPECT_EQ(ui.notices.size(), 1u);  // not called again once it threw
  EXPECT_TRUE(bridge.callback_error != nullptr);
}

TEST_F(BridgeCallbacks, MessagesByDisplayType) {
  struct Shown {
    std::string text, title;
    uint32_t style = 0;
  } shown;
  int shown_count = 0;
  auto hook = [](const char* text, const char* title, uint32_t style, void* context) {
    auto* s = static_cast<std::pair<Shown*, int*>*>(context);
    *s->first = {text, title, style};
    ++*s->second;
    return OSTRANA_ID_CANCEL;
  };
  std::pair<Shown*, int*> context{&shown, &shown_count};
  platform::set_message_box_hook(hook, &context);

  EngineBridge bridge(core::load_string);
  char text[OSTRANA_MESSAGE_BUFFER_SIZE];
  char title[OSTRANA_MESSAGE_BUFFER_SIZE];
  auto call = [&](int type, uint32_t style) {
    std::strcpy(text, "engine text");
    std::strcpy(title, "engine title");
    return message_display(type, style, 0, 0, text, title, &bridge);
  };
  EXPECT_EQ(call(OSTRANA_DISPLAY_TEXT_OFFER, 0), -1);
  EXPECT_STREQ(text, "engine text");
  EXPECT_STREQ(title, "engine title");
  for (int type : {0, 2, 3, 7, 10, 11, 14, 16}) {
    EXPECT_EQ(call(type, 0), -1) << type;  // the engine shows (or, quiet, does not show) its own box
    EXPECT_STREQ(title, "Parvell Ravarave v2.1") << type;
  }
  EXPECT_EQ(call(8, OSTRANA_MB_OVERWRITE), kAnswerAll);
  EXPECT_EQ(shown_count, 0);

  EXPECT_EQ(call(9, OSTRANA_MB_OKCANCEL), OSTRANA_ID_CANCEL);  // the wrong-password question
  EXPECT_EQ(call(OSTRANA_DISPLAY_WARNING, OSTRANA_MB_OK), OSTRANA_ID_CANCEL);
  EXPECT_EQ(shown_count, 2);
  EXPECT_EQ(shown.text, "engine text");
  EXPECT_EQ(shown.title, "Parvell Ravarave v2.1");
  EXPECT_EQ(shown.style, static_cast<uint32_t>(OSTRANA_MB_OK | OSTRANA_MB_TASKMODAL));
  platform::set_message_box_hook(nullptr, nullptr);

  EngineBridge no_instance(nullptr);  // no string table: the engine's title stays
  std::strcpy(title, "engine title");
  EXPECT_EQ(message_display(11, 0, 0, 0, text, title, &no_instance), -1);
  EXPECT_STREQ(title, "engine title");
}

TEST(BridgeFrame, OneOperationAtATime) {
  OperationFrame running;
  ASSERT_EQ(running.begin(EngineSide::kZip), 0);
  RecordingCallback outer;
  running.set_callback(&outer);
  std::vector<ArchiveItem> items(1);
  EXPECT_EQ(list_archive(nullptr, nullptr, "/nowhere.zip", &items, nullptr, nullptr), OU_BUSY);
  EXPECT_EQ(zip_run(nullptr, nullptr, "/a.zip", "x", nullptr, nullptr, nullptr, nullptr, 4, 1, 7, 1, nullptr),
            OZ_BUSY);
  EXPECT_EQ(bridge_state().callback, &outer);  // the running operation keeps its callback
}

}  // namespace
