/* tests/engine/zip/selection_entries_test.cpp - existing entries, delete, questions and the item-list pass.
 *
 * Risks: a file that replaces the wrong entry (or two files one entry, losing
 * one), a delete that marks what the pattern list excludes or reports success
 * when nothing matched, the Abort/Retry/Ignore question answered wrongly or
 * asked in a quiet run, a warning shown in a quiet run, and a cancel that is
 * not passed on.
 */
#include <gtest/gtest.h>

#include <cerrno>

#include "engine/zip/item_selection.h"
#include "ostrana_results.h"
#include "platform/fault_injection.h"
#include "selection_fakes.h"
#include "test_env.h"

using namespace ostrana;
using namespace selection_test;
namespace faults = platform::faults;
using Names = std::vector<std::string>;

namespace {

SelectionOptions relative_options() {
  SelectionOptions options;
  options.sub_options = kSubRelativeToRoot;
  return options;
}

std::string three_files() {
  std::string root = testenv::make_temp_dir("entries");
  write_file(root + "/a.txt");
  write_file(root + "/b.txt");
  write_file(root + "/c.txt");
  return root;
}

}  // namespace

TEST(ExistingEntries, AFileWithAnEntrysNameReplacesIt) {
  std::string root = three_files();
  FakeEntries entries({"a.txt", "B.TXT", "old.txt"});
  PatternList patterns;
  SelectionHooks hooks;
  hooks.existing = &entries;
  ItemSelection selection(relative_options(), patterns, hooks);
  ASSERT_EQ(0, selection.select_item(root + "/*.txt"));
  ASSERT_EQ(0, selection.finish());
  EXPECT_EQ((Names{"c.txt"}), names_of(selection.found_list()));
  EXPECT_EQ((std::vector<bool>{true, true, false}), entries.marked);
  EXPECT_EQ(root + "/a.txt", entries.sources[0]);
  EXPECT_EQ(root + "/b.txt", entries.sources[1]);  // found without regard to case
  EXPECT_EQ("", entries.sources[2]);
}

TEST(ExistingEntries, NoLookupMakesEveryFileNew) {
  std::string root = three_files();
  FakeEntries entries({"a.txt"});
  PatternList patterns;
  SelectionHooks hooks;
  hooks.existing = &entries;
  SelectionOptions options = relative_options();
  options.sub_options |= kSubNoLookup;
  ItemSelection selection(options, patterns, hooks);
  ASSERT_EQ(0, selection.select_item(root + "/*.txt"));
  ASSERT_EQ(0, selection.finish());
  EXPECT_EQ((Names{"a.txt", "b.txt", "c.txt"}), names_of(selection.found_list()));
  EXPECT_FALSE(entries.marked[0]);
}

TEST(ExistingEntries, AnEntryOutsideThePatternListGetsItsSourceButNoMark) {
  std::string root = three_files();
  FakeEntries entries({"a.txt", "b.txt"});
  PatternList patterns;
  ASSERT_EQ(0, patterns.build(nullptr, "b*", StoredNameRules{}, false));
  SelectionHooks hooks;
  hooks.existing = &entries;
  ItemSelection selection(relative_options(), patterns, hooks);
  ASSERT_EQ(0, selection.select_item(root + "/*.txt"));
  ASSERT_EQ(0, selection.finish());
  EXPECT_EQ((Names{"c.txt"}), names_of(selection.found_list()));
  EXPECT_EQ((std::vector<bool>{true, false}), entries.marked);
  EXPECT_EQ(root + "/b.txt", entries.sources[1]);
}

TEST(ExistingEntries, NamesThatDifferOnlyByCaseAreDifferentFiles) {
  std::string root = testenv::make_temp_dir("case");
  write_file(root + "/A.txt");
  write_file(root + "/a.txt");
  write_file(root + "/Z.txt");
  write_file(root + "/z.txt");
  PatternList patterns;
  SelectionHooks hooks;
  // "A.txt" exists exactly; "a.txt" has only a case-twin entry that "A.txt" took.
  // "Z.TXT" exists only in another case: the first spelling takes it, the second is new.
  FakeEntries entries({"A.txt", "Z.TXT"});
  hooks.existing = &entries;
  ItemSelection selection(relative_options(), patterns, hooks);
  ASSERT_EQ(0, selection.select_item(root + "/*.txt"));
  ASSERT_EQ(0, selection.finish());
  EXPECT_EQ(root + "/A.txt", entries.sources[0]);
  EXPECT_EQ(root + "/Z.txt", entries.sources[1]);
  EXPECT_EQ((Names{"a.txt", "z.txt"}), names_of(selection.found_list()));  // nothing lost
}

TEST(DeleteItems, MarksMatchesAndReportsNoMatch) {
  FakeEntries entries({"a.txt", "DIR/README.TXT", "c.doc", "keep.txt"});
  PatternList patterns;
  ASSERT_EQ(0, patterns.build(nullptr, "keep*", StoredNameRules{}, false));
  SelectionHooks hooks;
  hooks.existing = &entries;
  SelectionOptions options;
  options.action = SelectAction::kDelete;
  ItemSelection selection(options, patterns, hooks);
  EXPECT_EQ(0, selection.select_item("*.txt"));
  EXPECT_EQ((std::vector<bool>{true, true, false, false}), entries.marked);  // keep.txt is excluded
  EXPECT_EQ(kSelectNoMatch, selection.select_item("*.xls"));
  EXPECT_EQ(0, selection.select_item("/c.doc"));  // the stored-name form drops the "/"
  EXPECT_TRUE(entries.marked[2]);

  // Whole-path matching: "*.txt" no longer reaches into DIR/.
  FakeEntries again({"DIR/README.TXT"});
  hooks.existing = &again;
  options.sub_options2 = kSub2WholePathPatterns;
  ItemSelection whole(options, patterns, hooks);
  EXPECT_EQ(kSelectNoMatch, whole.select_item("*.txt"));
  EXPECT_EQ(0, whole.select_item("dir/*.txt"));
  EXPECT_TRUE(again.marked[0]);
}

TEST(ItemListPass, WarnsAboutUnmatchedItemsAndGoesOn) {
  FakeEntries entries({"a.txt", "b.txt"});
  PatternList patterns;
  FakeProgress progress;
  FakeMessages messages;
  SelectionHooks hooks;
  hooks.existing = &entries;
  hooks.progress = &progress;
  hooks.messages = &messages;
  SelectionOptions options;
  options.action = SelectAction::kDelete;
  ItemSelection selection(options, patterns, hooks);
  std::string detail;
  EXPECT_EQ(0, selection.select_item_list("nothing.* \"b.txt\"", &detail));
  EXPECT_EQ((Names{"Processing Item List... Please wait.@0"}), progress.reports);
  EXPECT_EQ((Names{"12/0: name not matched: nothing.*"}), messages.shown);
  EXPECT_EQ((std::vector<bool>{false, true}), entries.marked);

  // A quiet run shows nothing.
  options.ask_questions = false;
  messages.shown.clear();
  ItemSelection quiet(options, patterns, hooks);
  EXPECT_EQ(0, quiet.select_item_list("nothing.*", &detail));
  EXPECT_TRUE(messages.shown.empty());
}

TEST(ItemListPass, CancelAndMemoryEntry) {
  PatternList patterns;
  FakeProgress progress;
  progress.cancel_report = true;
  SelectionHooks hooks;
  hooks.progress = &progress;
  ItemSelection cancelled(SelectionOptions{}, patterns, hooks);
  std::string detail;
  EXPECT_EQ(OZ_INTERRUPTED, cancelled.select_item_list("a b", &detail));

  progress.cancel_report = false;
  std::string root = three_files();
  ItemSelection memory(relative_options(), patterns, hooks);
  std::string entry;
  ASSERT_EQ(0, memory.select_item_list("\"/mem/My Entry.bin\" " + root + "/a.txt", &detail, &entry));
  EXPECT_EQ("mem/My Entry.bin", entry);
  ASSERT_EQ(0, memory.finish());
  EXPECT_EQ((Names{"a.txt"}), names_of(memory.found_list()));

  ItemSelection bad(relative_options(), patterns, hooks);
  EXPECT_EQ(OZ_BAD_PARAMETERS, bad.select_item_list("/ x", &detail, &entry));
  EXPECT_EQ("/", detail);
}

class ReadableCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    root = testenv::make_temp_dir("readable");
    write_file(root + "/only.txt");
    hooks.messages = &messages;
    hooks.activity_log = &log;
    options.sub_options = kSubRelativeToRoot | kSubCheckReadable;
  }
  void TearDown() override { faults::disarm(); }

  /// Selects with the first open refused, answering with @p answers.
  int run(std::initializer_list<int> answers, Names* names_ret) {
    messages.answers.assign(answers);
    faults::arm(faults::Op::kOpen, 1, EACCES);
    ItemSelection selection(options, patterns, hooks);
    int r = selection.select_item(root + "/*.txt");
    faults::disarm();
    if (r == 0) r = selection.finish();
    *names_ret = names_of(selection.found_list());
    return r;
  }

  std::string root;
  SelectionOptions options;
  PatternList patterns;
  SelectionHooks hooks;
  FakeMessages messages;
  FakeLog log;
};

TEST_F(ReadableCheck, RetryThenTaken) {
  Names names;
  EXPECT_EQ(0, run({kButtonRetry}, &names));
  EXPECT_EQ((Names{"only.txt"}), names);
  EXPECT_EQ((Names{"16/2: " + root + "/only.txt"}), messages.shown);
  EXPECT_TRUE(log.lines.empty());
}

TEST_F(ReadableCheck, IgnoreSkipsAndLogs) {
  Names names;
  EXPECT_EQ(0, run({kButtonIgnore}, &names));
  EXPECT_TRUE(names.empty());
  EXPECT_EQ((Names{root + "/only.txt [Skipped]"}), log.lines);
}

TEST_F(ReadableCheck, AbortCancelsTheRun) {
  Names names;
  EXPECT_EQ(OZ_INTERRUPTED, run({kButtonAbort}, &names));
}

TEST_F(ReadableCheck, AQuietRunIgnoresWithoutAsking) {
  options.ask_questions = false;
  Names names;
  EXPECT_EQ(0, run({kButtonRetry}, &names));
  EXPECT_TRUE(names.empty());
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(1u, log.lines.size());
}

TEST_F(ReadableCheck, AReadableFileIsNotQuestioned) {
  ItemSelection selection(options, patterns, hooks);
  ASSERT_EQ(0, selection.select_item(root + "/*.txt"));
  ASSERT_EQ(0, selection.finish());
  EXPECT_EQ((Names{"only.txt"}), names_of(selection.found_list()));
  EXPECT_TRUE(messages.shown.empty());
}
