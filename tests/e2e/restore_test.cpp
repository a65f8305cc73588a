// `orvc restore`: runs and paths put back as they were, and every item that must stay in the
// Trash (a path taken again, a replaced Trash entry, a folder on the way that became a link).
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <regex>

#include "restore_support.hpp"

namespace orvc::testing {
namespace {

TEST_F(RestoreTest, ARunComesBackByteForByteWithTimesAndModes) {
  const std::string file = home / "proj/notes.txt";
  const std::string folder = home / "proj/build";
  const std::string link = home / "proj/latest";
  write_file(file, "hello\n");
  write_sized_file(folder + "/obj/a.o", 300000, 5);
  write_file(folder + "/log", "log");
  make_symlink("notes.txt", link);
  chmod(file.c_str(), 0640);
  chmod((folder + "/obj").c_str(), 0750);
  set_mtime(file, 1'000'000'000);
  set_mtime(folder + "/obj/a.o", 1'100'000'000);
  set_mtime(folder, 1'200'000'000);
  const auto before = snapshot(home / "proj");

  const std::string id = delete_run({file, folder, link});
  ASSERT_FALSE(exists_no_follow(file));
  const auto r = orvc({"restore", id.substr(0, 8)});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, restored_report({file, folder, link}));
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(snapshot(home / "proj"), before);
  EXPECT_EQ(read_file(file), "hello\n");
  EXPECT_EQ(read_file(folder + "/log"), "log");
  EXPECT_EQ(sorted_entries(trash_files()), std::vector<std::string>{});
  EXPECT_EQ(sorted_entries(home / ".local/share/Trash/info"), std::vector<std::string>{});
  EXPECT_EQ(trash_list(), "");

  // Asked again, nothing is left to do.
  const auto again = orvc({"restore", id});
  EXPECT_EQ(again.exit_code, 0);
  EXPECT_EQ(again.out,
            "Restoring from Trash: 0 item(s)\n"
            "  3 item(s) of the run were no longer in the Trash.\n"
            "  Done — 0 item(s) put back.\n");
}

TEST_F(RestoreTest, APathPutsBackOnlyThatItem) {
  write_file(home / "proj/a.txt", "a");
  write_file(home / "proj/b.txt", "b");
  delete_run({home / "proj/a.txt", home / "proj/b.txt"});
  // Relative to the working folder.
  const auto r = orvc({"restore", "a.txt"}, home / "proj");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, restored_report({home / "proj/a.txt"}));
  EXPECT_EQ(read_file(home / "proj/a.txt"), "a");
  EXPECT_FALSE(exists_no_follow(home / "proj/b.txt"));
  EXPECT_EQ(sorted_entries(trash_files()), std::vector<std::string>{"b.txt"});
}

TEST_F(RestoreTest, APathTakenAgainStaysInTheTrashAndToPutsItElsewhere) {
  const std::string path = home / "proj/a.txt";
  write_file(path, "old");
  const std::string id = delete_run({path});
  write_file(path, "new");

  const auto r = orvc({"restore", id});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "Restoring from Trash: 1 item(s)\n  left " + path + "\n");
  EXPECT_EQ(r.err,
            "  Some items could not be restored: Restored 0 of 1 item(s) with 1 issue(s). '" +
                path + "' exists; left in the Trash as 'a.txt'\n");
  EXPECT_EQ(read_file(path), "new");
  EXPECT_EQ(read_file(trash_files("a.txt")), "old");

  const auto to = orvc({"restore", path, "--to", "~/rescued"});
  EXPECT_EQ(to.exit_code, 0) << to.err;
  EXPECT_EQ(to.out, restored_report({home / "rescued/a.txt"}));
  EXPECT_EQ(read_file(home / "rescued/a.txt"), "old");
  EXPECT_EQ(read_file(path), "new");
  EXPECT_EQ(trash_list(), "");
}

TEST_F(RestoreTest, AReplacedTrashEntryIsLeftAlone) {
  struct Case {
    const char* what;
    std::function<void(const std::string& entry, const std::string& record)> tamper;
    std::string because;
  };
  const std::vector<Case> cases = {
      {"other content",
       [](const std::string& entry, const std::string&) { write_file(entry, "a longer text"); },
       "its size is not the recorded size"},
      {"other record",
       [](const std::string&, const std::string& record) {
         write_file(record,
                    "[Trash Info]\nPath=/elsewhere/a.txt\nDeletionDate=2026-01-01T00:00:00\n");
       },
       "its Trash record names '/elsewhere/a.txt'"},
      {"no record", [](const std::string&, const std::string& record) { unlink(record.c_str()); },
       "its Trash record is missing or unreadable"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = home / "proj/a.txt";
    write_file(path, "abc");
    const std::string id = delete_run({path});
    c.tamper(trash_files("a.txt"), trash_info("a.txt"));
    const auto snap = snapshot(home.path());
    for (const auto& target : {id, path}) {
      const auto r = orvc({"restore", target});
      EXPECT_EQ(r.exit_code, 1);
      EXPECT_EQ(r.err,
                "  Some items could not be restored: Restored 0 of 1 item(s) with 1 issue(s). '" +
                    path + "': the Trash entry 'a.txt' is no longer the item removed (" +
                    c.because + "); left alone\n");
    }
    EXPECT_EQ(snapshot(home.path()), snap);
    remove_tree(home / ".local/share/Trash");
    remove_tree(history_folder());
  }
}

TEST_F(RestoreTest, AFolderOnTheWayThatBecameALinkRefusesTheItem) {
  struct Case {
    const char* what;
    std::string link_target;
    std::string reason;
  };
  make_dirs(home / ".ssh");
  make_dirs(home / "elsewhere");
  const std::vector<Case> cases = {
      {"into a protected folder", home / ".ssh",
       "refused: it is in (or resolves into) a protected location"},
      {"into an ordinary folder", home / "elsewhere",
       "refused: the folder '" + home / "proj/keys" + "' on its way is a symbolic link"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = home / "proj/keys/id.txt";
    write_file(path, "secret");
    const std::string id = delete_run({path});
    remove_tree(home / "proj/keys");
    make_symlink(c.link_target, home / "proj/keys");

    const auto r = orvc({"restore", id});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.err,
              "  Some items could not be restored: Restored 0 of 1 item(s) with 1 issue(s). '" +
                  path + "': " + c.reason + "\n");
    EXPECT_EQ(sorted_entries(c.link_target), std::vector<std::string>{});
    EXPECT_EQ(read_file(trash_files("id.txt")), "secret");
    remove_tree(home / "proj");
    remove_tree(home / ".local/share/Trash");
  }
}

TEST_F(RestoreTest, MissingParentFoldersAreCreated) {
  const std::string path = home / "a/b/c/f.txt";
  write_file(path, "deep");
  delete_run({path});
  remove_tree(home / "a");
  const auto r = orvc({"restore", path});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, restored_report({path}));
  EXPECT_EQ(read_file(path), "deep");
  const mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(facts_of(home / "a/b").mode & 07777, 0777 & ~mask);
}

TEST_F(RestoreTest, ItemsTrashedByTrashPutComeBackByPath) {
  write_file(home / "tp/x.txt", "x");
  write_file(home / "tp/d/inner.txt", "inner");
  const auto put = trash_cli("trash-put tp/x.txt tp/d");
  ASSERT_EQ(put.exit_code, 0) << put.err;
  ASSERT_FALSE(exists_no_follow(home / "tp/x.txt"));

  const auto r = orvc({"restore", "tp/x.txt", home / "tp/d"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, restored_report({home / "tp/x.txt", home / "tp/d"}));
  EXPECT_EQ(read_file(home / "tp/x.txt"), "x");
  EXPECT_EQ(read_file(home / "tp/d/inner.txt"), "inner");
  EXPECT_EQ(trash_list(), "");

  const auto none = orvc({"restore", home / "tp/never"});
  EXPECT_EQ(none.exit_code, 1);
  EXPECT_EQ(none.err,
            "  Some items could not be restored: Restored 0 of 1 item(s) with 1 issue(s). '" +
                home / "tp/never" + "': not found in the Trash\n");
}

TEST_F(RestoreTest, ADryRunChangesNothingAndFlagsGoEitherSide) {
  const std::string a = home / "p/q/a.txt";
  const std::string b = home / "p/b.txt";
  write_file(a, "a");
  write_file(b, "b");
  const std::string id = delete_run({a, b});
  remove_tree(home / "p");
  const auto snap = snapshot(home.path());
  const std::string b_elsewhere = would_restore({home / "new/b.txt"});
  for (const auto& [args, report] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"restore", "--dry-run", id}, would_restore({a, b})},
           {{"restore", a, "--dry-run"}, would_restore({a})},
           {{"restore", "--dry-run", "--to", home / "new", id},
            would_restore({home / "new/a.txt", home / "new/b.txt"})},
           {{"restore", "--to", home / "new", b, "--dry-run"}, b_elsewhere},
           {{"restore", b, "--dry-run", "--to", home / "new"}, b_elsewhere}}) {
    const auto r = orvc(args);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, report);
    EXPECT_EQ(snapshot(home.path()), snap);
  }
}

// Ids are random; the test gives two runs ids that share a prefix.
TEST_F(RestoreTest, RunIdsByUniquePrefixAndAnAmbiguousPrefixIsRejected) {
  const std::vector<std::string> wanted = {"abcd1111-0000-4000-8000-000000000000",
                                           "abcd2222-0000-4000-8000-000000000000"};
  for (int i = 0; i < 2; ++i) {
    const std::string path = home / ("f" + std::to_string(i));
    write_file(path, std::to_string(i));
    const std::string id = delete_run({path});
    const std::string manifest = history_folder() + "/" + id + ".json";
    std::string text = read_file(manifest);
    text = std::regex_replace(text, std::regex(id), wanted[i]);
    unlink(manifest.c_str());
    write_file(history_folder() + "/" + wanted[i] + ".json", text);
  }
  const auto ambiguous = orvc({"restore", "abcd"});
  EXPECT_EQ(ambiguous.exit_code, 1);
  EXPECT_EQ(ambiguous.out, "");
  EXPECT_THAT(ambiguous.err, ::testing::MatchesRegex("Error: Run id 'abcd' is ambiguous: it "
                                                     "matches 2 runs \\((abcd1111, abcd2222|"
                                                     "abcd2222, abcd1111)\\)\n"));
  EXPECT_FALSE(exists_no_follow(home / "f0"));

  const auto unique = orvc({"restore", "ABCD2"});
  EXPECT_EQ(unique.exit_code, 0) << unique.err;
  EXPECT_EQ(unique.out, restored_report({home / "f1"}));
  EXPECT_FALSE(exists_no_follow(home / "f0"));
}

TEST_F(RestoreTest, RejectedCommandLines) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"restore"}, "restore requires a run id or at least one path argument"},
      {{"restore", "--dry-run"}, "restore requires a run id or at least one path argument"},
      {{"restore", "x", "--to"}, "--to requires a directory argument"},
      {{"restore", "x", "--force"}, "Unknown flag for restore: --force"},
      {{"history", "--all"}, "Unknown flag for history: --all"},
      {{"history", "--path"}, "--path requires a directory argument"},
  };
  const std::string help = orvc({"help"}).out;
  for (const auto& [args, message] : cases) {
    const auto r = orvc(args);
    EXPECT_EQ(r.exit_code, 1) << message;
    EXPECT_EQ(r.err, "Error: " + message + "\n\n");
    EXPECT_EQ(r.out, help);
  }
}

}  // namespace
}  // namespace orvc::testing
