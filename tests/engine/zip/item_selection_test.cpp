/* tests/engine/zip/item_selection_test.cpp - walking real folders into the found list.
 *
 * Risks: a walk that loops through a link, misses empty folders, takes hidden
 * files unasked, selects the archive being written, loses one of two
 * same-named files in the wrong order, or stops at a file that vanished; names
 * that keep the absolute path when the root folder should go, or that break the
 * 8.3 options; a rename callback whose attribute changes leak outside 0x27.
 */
#include <gtest/gtest.h>

#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/zip/item_selection.h"
#include "engine/common/short_name.h"
#include "ostrana_results.h"
#include "selection_fakes.h"
#include "test_env.h"

using namespace ostrana;
using namespace selection_test;
using Names = std::vector<std::string>;

namespace {

/// A selection over one item with names relative to the item's folder (bit 0).
struct SelectionRun {
  SelectionOptions options;
  PatternList patterns;
  SelectionHooks hooks;

  SelectionRun() { options.sub_options = kSubRelativeToRoot; }

  /// Selects @p items (already split), finishes, and returns the found names.
  Names select(std::initializer_list<std::string> items, int* result_ret = nullptr) {
    ItemSelection selection(options, patterns, hooks);
    int r = 0;
    for (const std::string& item : items) {
      r = selection.select_item(item);
      if (r != 0) break;
    }
    if (r == 0) r = selection.finish();
    if (result_ret) *result_ret = r;
    found = selection.found_list();
    return names_of(found);
  }

  std::vector<SelectedFile> found;
};

/// Changes the current folder for one scope.
class CurrentFolder {
 public:
  explicit CurrentFolder(const std::string& folder) {
    if (getcwd(m_old, sizeof m_old) == nullptr) m_old[0] = 0;
    EXPECT_EQ(0, chdir(folder.c_str()));
  }
  ~CurrentFolder() {
    if (m_old[0]) {
      EXPECT_EQ(0, chdir(m_old));
    }
  }

 private:
  char m_old[4096];
};

/// root/{a.txt, b.doc, noext, .hidden.txt, with blank.txt, é.txt, empty/, sub/{c.txt, deeper/d.txt}, .hid/x.txt}
std::string make_tree() {
  std::string root = testenv::make_temp_dir("tree");
  write_file(root + "/a.txt", "aaa");
  write_file(root + "/b.doc");
  write_file(root + "/noext");
  write_file(root + "/.hidden.txt");
  write_file(root + "/with blank.txt");
  write_file(root + "/\xC3\xA9t\xC3\xA9.txt");
  make_folder(root + "/empty");
  make_folder(root + "/sub");
  write_file(root + "/sub/c.txt");
  make_folder(root + "/sub/deeper");
  write_file(root + "/sub/deeper/d.txt");
  make_folder(root + "/.hid");
  write_file(root + "/.hid/x.txt");
  return root;
}

}  // namespace

TEST(SelectFiles, WithoutRecursion) {
  std::string root = make_tree();
  SelectionRun run;
  EXPECT_EQ((Names{"a.txt", "with blank.txt", "\xC3\xA9t\xC3\xA9.txt"}), run.select({root + "/*.txt"}));
  run.options.include_sys_hidden = true;
  EXPECT_EQ((Names{".hidden.txt", "a.txt", "with blank.txt", "\xC3\xA9t\xC3\xA9.txt"}),
            run.select({root + "/*.txt"}));
}

TEST(SelectFiles, FolderEntryOfTheSearchFolderAndFullNames) {
  std::string root = make_tree();
  SelectionRun run;
  run.options.sub_options = 0;  // names keep their folders, minus the leading "/"
  Names names = run.select({root + "/a.txt"});
  std::string stored_root = root.substr(1);
  EXPECT_EQ((Names{stored_root + "/", stored_root + "/a.txt"}), names);
  EXPECT_TRUE(run.found[0].is_folder());
  EXPECT_EQ(0x10u, run.found[0].attributes);
  EXPECT_EQ(0u, run.found[0].size);
  EXPECT_EQ(root, run.found[0].source_path);
  EXPECT_EQ(3u, run.found[1].size);
  EXPECT_EQ(0x20u, run.found[1].attributes);  // the archive bit of every regular file

  run.options.no_directory_entries = true;
  EXPECT_EQ((Names{stored_root + "/a.txt"}), run.select({root + "/a.txt"}));
}

TEST(SelectFiles, RecursiveWalkTakesFoldersEmptyOnesAndOddNames) {
  std::string root = make_tree();
  SelectionRun run;
  run.options.recurse = true;
  EXPECT_EQ((Names{"a.txt", "b.doc", "empty/", "noext", "sub/", "sub/c.txt", "sub/deeper/", "sub/deeper/d.txt",
                   "with blank.txt", "\xC3\xA9t\xC3\xA9.txt"}),
            run.select({root + "/*.*"}));

  run.options.no_directory_entries = true;
  EXPECT_EQ((Names{"a.txt", "sub/c.txt", "sub/deeper/d.txt", "with blank.txt", "\xC3\xA9t\xC3\xA9.txt"}),
            run.select({root + "/*.txt"}));

  run.options.include_sys_hidden = true;
  EXPECT_EQ((Names{".hid/x.txt", ".hidden.txt", "a.txt", "sub/c.txt", "sub/deeper/d.txt", "with blank.txt",
                   "\xC3\xA9t\xC3\xA9.txt"}),
            run.select({root + "/*.txt"}));
}

TEST(SelectFiles, WithRecursionANamedFileIsThatFileAlone) {
  std::string root = make_tree();
  write_file(root + "/sub/a.txt", "same name below");
  SelectionRun run;
  run.options.recurse = true;
  // Neither the folders below it nor a file of the same name in them come along.
  EXPECT_EQ((Names{"a.txt"}), run.select({root + "/a.txt"}));
  EXPECT_EQ(root + "/a.txt", run.found[0].source_path);
  // A pattern still reaches into every folder.
  EXPECT_EQ((Names{"a.txt", "empty/", "sub/", "sub/a.txt", "sub/deeper/"}), run.select({root + "/a.t?t"}));
  // The whole content of an empty folder is the folder itself.
  run.options.sub_options = 0;
  const std::string empty = stored_name_form(root + "/empty/", StoredNameRules{});
  EXPECT_EQ((Names{empty}), run.select({root + "/empty/*.*"}));
  EXPECT_EQ((Names{}), run.select({root + "/empty/*.txt"}));
}

TEST(SelectFiles, TheWalkPopsTheLastPushedFolderFirst) {
  std::string root = testenv::make_temp_dir("order");
  make_folder(root + "/a");
  make_folder(root + "/a/deep");
  make_folder(root + "/b");
  write_file(root + "/a/1.txt");
  write_file(root + "/a/deep/3.txt");
  write_file(root + "/b/2.txt");
  write_file(root + "/top.txt");
  SelectionRun run;
  run.options.recurse = true;
  ItemSelection selection(run.options, run.patterns, run.hooks);
  ASSERT_EQ(0, selection.select_item(root + "/*.*"));
  // Before finish() the found list is in selection order: the root's entries in
  // name order (pushing "a" then "b"), then "b" (pushed last), then "a" and
  // its "deep".
  EXPECT_EQ((Names{"a/", "b/", "top.txt", "b/2.txt", "a/1.txt", "a/deep/", "a/deep/3.txt"}),
            names_of(selection.found_list()));
}

TEST(SelectFiles, WholeContentAndDotlessPatterns) {
  std::string root = make_tree();
  SelectionRun run;
  // "folder/*.*" is how the wizard asks for a whole folder: names without a dot too.
  EXPECT_EQ((Names{"a.txt", "b.doc", "noext", "with blank.txt", "\xC3\xA9t\xC3\xA9.txt"}), run.select({root + "/*.*"}));
  EXPECT_EQ((Names{"noext"}), run.select({root + "/*."}));
}

TEST(SelectFiles, LinksAreKeptAsLinksOrFollowedWithoutLooping) {
  std::string root = testenv::make_temp_dir("links");
  write_file(root + "/f.txt", "12345");
  ASSERT_EQ(0, symlink(root.c_str(), (root + "/loop").c_str()));
  ASSERT_EQ(0, symlink("f.txt", (root + "/link.txt").c_str()));
  ASSERT_EQ(0, symlink("gone.txt", (root + "/dangling.txt").c_str()));
  make_folder(root + "/sub");
  ASSERT_EQ(0, symlink("..", (root + "/sub/up").c_str()));
  SelectionRun run;
  run.options.recurse = true;
  // Kept: every link is one entry, whatever it points to; none is walked into.
  EXPECT_EQ((Names{"dangling.txt", "f.txt", "link.txt", "loop", "sub/", "sub/up"}), run.select({root + "/*.*"}));
  for (size_t i : {0u, 2u, 3u, 5u}) EXPECT_TRUE(S_ISLNK(run.found[i].unix_mode)) << run.found[i].name;
  EXPECT_EQ(5u, run.found[2].size) << "a link's size is its target's length: \"f.txt\"";

  // Followed: a file behind a link is read, a folder behind one is walked
  // once (the loops end), and only the dangling link stays a link.
  SelectionRun follow;
  follow.options.recurse = true;
  follow.options.sub_options2 = kSub2FollowLinks;
  EXPECT_EQ((Names{"dangling.txt", "f.txt", "link.txt", "sub/"}), follow.select({root + "/*.*"}));
  EXPECT_TRUE(S_ISLNK(follow.found[0].unix_mode));
  EXPECT_TRUE(S_ISREG(follow.found[2].unix_mode));
  EXPECT_EQ(5u, follow.found[2].size);
  EXPECT_EQ(root + "/link.txt", follow.found[2].source_path);
}

TEST(SelectFiles, AFileRemovedDuringTheWalkIsSkipped) {
  std::string root = testenv::make_temp_dir("vanish");
  write_file(root + "/1.txt");
  write_file(root + "/2.txt");
  write_file(root + "/3.txt");
  SelectionRun run;
  run.options.sub_options |= kSubCallRename;
  // The rename callback of the first file removes the second before the walk reaches it.
  FakeRename remover([&](RenameRequest& r) {
    if (r.name == "1.txt") unlink((root + "/2.txt").c_str());
  });
  run.hooks.rename = &remover;
  int result = -99;
  EXPECT_EQ((Names{"1.txt", "3.txt"}), run.select({root + "/*.txt"}, &result));
  EXPECT_EQ(0, result);
}

TEST(SelectFiles, TheArchiveBeingWrittenIsNeverSelected) {
  std::string root = testenv::make_temp_dir("self");
  write_file(root + "/out.zip");
  write_file(root + "/other.zip");
  ASSERT_EQ(0, symlink("out.zip", (root + "/alias.zip").c_str()));
  SelectionRun run;
  run.options.never_select = {root + "/./out.zip"};  // another spelling of the same file
  // A link to the archive is a link entry (its target's name), never the archive's bytes.
  EXPECT_EQ((Names{"alias.zip", "other.zip"}), run.select({root + "/*.zip"}));
  run.options.sub_options2 = kSub2FollowLinks;
  EXPECT_EQ((Names{"other.zip"}), run.select({root + "/*.zip"}));
  run.options.sub_options2 = 0;
  // Not even as the new source of an existing entry of the same name.
  FakeEntries entries({"out.zip"});
  run.hooks.existing = &entries;
  run.select({root + "/*.zip"});
  EXPECT_FALSE(entries.marked[0]);
  EXPECT_EQ("", entries.sources[0]);
}

TEST(SelectFiles, NoFolderNamesKeepsTheLaterOfTwoSameNamedFiles) {
  std::string root = testenv::make_temp_dir("same");
  make_folder(root + "/x");
  make_folder(root + "/y");
  write_file(root + "/x/same.txt", "from x");
  write_file(root + "/y/same.txt", "from y!");
  SelectionRun run;
  run.options.recurse = true;
  run.options.no_directory_names = true;
  run.options.no_directory_entries = true;
  EXPECT_EQ((Names{"same.txt"}), run.select({root + "/*.*"}));
  // "y" was pushed last, so visited first; "x/same.txt" was selected later and stays.
  EXPECT_EQ(root + "/x/same.txt", run.found[0].source_path);
}

TEST(SelectFiles, EightThreeSkipAndShorten) {
  std::string root = testenv::make_temp_dir("dos");
  write_file(root + "/short.txt");
  write_file(root + "/longfilename.txt");
  write_file(root + "/a b.txt");
  write_file(root + "/page.html");
  SelectionRun run;
  run.options.sub_options |= kSubSkipLongNames;
  EXPECT_EQ((Names{"short.txt"}), run.select({root + "/*.*"}));
  run.options.sub_options = kSubRelativeToRoot | kSubShortenNames;
  EXPECT_EQ((Names{"ab.txt", "longfile.txt", "page.htm", "short.txt"}), run.select({root + "/*.*"}));
  for (const SelectedFile& f : run.found) EXPECT_TRUE(is_short_name(f.name)) << f.name;
}

TEST(SelectFiles, RootFolderStrippingIgnoresCaseAndKeepsDosify) {
  std::string root = testenv::make_temp_dir("Root");
  make_folder(root + "/MixedCase");
  make_folder(root + "/MixedCase/In");
  write_file(root + "/MixedCase/In/f.txt");
  SelectionRun run;
  run.options.recurse = true;
  EXPECT_EQ((Names{"In/", "In/f.txt"}), run.select({root + "/MixedCase/*.*"}));
  run.options.dosify = true;
  EXPECT_EQ((Names{"IN/", "IN/F.TXT"}), run.select({root + "/MixedCase/*.*"}));
  // A relative item: the root folder is its relative folder part.
  CurrentFolder here(root);
  run.options.dosify = false;
  EXPECT_EQ((Names{"In/", "In/f.txt"}), run.select({"MixedCase/*.*"}));
  run.options.sub_options = 0;
  EXPECT_EQ((Names{"MixedCase/In/", "MixedCase/In/f.txt"}), run.select({"./MixedCase/*.*"}));
}

TEST(SelectFiles, RenameCallbackChangesNameDateAndMaskedAttributes) {
  std::string root = testenv::make_temp_dir("rename");
  write_file(root + "/a.txt", "hello");
  SelectionRun run;
  run.options.sub_options |= kSubCallRename;
  std::string seen_source;
  uint64_t seen_size = 0;
  FakeRename hook([&](RenameRequest& r) {
    seen_source = r.source_path;
    seen_size = r.size;
    r.name = "/renamed/../moved\\b.txt";  // made relative and "/"-separated again
    r.dos_date = (44 << 9) | (6 << 5) | 7;
    r.dos_time = (12 << 11) | (30 << 5);
    r.attributes = 0x01 | 0x02 | 0x10 | 0x80;  // 0x10 and 0x80 are outside the mask
  });
  run.hooks.rename = &hook;
  EXPECT_EQ((Names{"moved/b.txt"}), run.select({root + "/*.txt"}));
  EXPECT_EQ(root + "/a.txt", seen_source);
  EXPECT_EQ(5u, seen_size);
  EXPECT_EQ(((44u << 9 | 6u << 5 | 7u) << 16) | (12u << 11 | 30u << 5), run.found[0].dos_datetime);
  EXPECT_EQ(0x01u | 0x02u, run.found[0].attributes);  // the archive bit was cleared through the mask

  // Without option bit 13 the hook is not called.
  run.options.sub_options = kSubRelativeToRoot;
  EXPECT_EQ((Names{"a.txt"}), run.select({root + "/*.txt"}));
  // A callback that empties the name drops the file.
  run.options.sub_options |= kSubCallRename;
  FakeRename eraser([](RenameRequest& r) { r.name = "/"; });
  run.hooks.rename = &eraser;
  EXPECT_EQ(Names{}, run.select({root + "/*.txt"}));
}

TEST(SelectFiles, ArchiveBitOptions) {
  std::string root = testenv::make_temp_dir("archbit");
  write_file(root + "/a.txt");
  SelectionRun run;
  run.options.sub_options |= kSubArchiveBitOnly;
  run.select({root + "/*.txt"});
  ASSERT_EQ(1u, run.found.size());
  EXPECT_EQ(0x20u, run.found[0].attributes);
  run.options.sub_options |= kSubClearArchiveBit;
  run.select({root + "/*.txt"});
  ASSERT_EQ(1u, run.found.size());
  EXPECT_EQ(0u, run.found[0].attributes);
}

TEST(SelectFiles, IncludePatternsAreLookedForInsideTheSearchFolder) {
  std::string root = testenv::make_temp_dir("incl");
  write_file(root + "/top.txt");
  make_folder(root + "/sub");
  write_file(root + "/sub/x.txt");
  make_folder(root + "/.secret");
  write_file(root + "/.secret/y.txt");
  SelectionRun run;
  ASSERT_EQ(0, run.patterns.build("*", nullptr, StoredNameRules{}, false));
  EXPECT_EQ((Names{"sub/", "sub/x.txt", "top.txt"}), run.select({root + "/*.txt"}));
  // Without bit 0 only the search folder itself is searched (and named in full).
  run.options.sub_options = 0;
  run.options.no_directory_entries = true;
  EXPECT_EQ((Names{root.substr(1) + "/top.txt"}), run.select({root + "/*.txt"}));
}

TEST(SelectFiles, CancelDuringTheWalk) {
  std::string root = make_tree();
  SelectionRun run;
  run.options.recurse = true;
  FakeProgress progress;
  progress.cancel_at = 2;  // the poll after the second folder
  run.hooks.progress = &progress;
  int result = 0;
  run.select({root + "/*.*"}, &result);
  EXPECT_EQ(OZ_INTERRUPTED, result);
  EXPECT_EQ(2, progress.polls);
  EXPECT_EQ(2, progress.pumps);
}

TEST(SelectFiles, MissingFoldersAndFilesSelectNothing) {
  std::string root = testenv::make_temp_dir("missing");
  SelectionRun run;
  int result = -1;
  EXPECT_EQ(Names{}, run.select({root + "/nowhere/*.*", root + "/none.txt"}, &result));
  EXPECT_EQ(0, result);
  run.options.recurse = true;
  EXPECT_EQ(Names{}, run.select({root + "/nowhere/*.*"}, &result));
  EXPECT_EQ(0, result);
}
