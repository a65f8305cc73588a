// `orvc restore`: runs and paths put back as they were, and every item that must stay in the
// Trash (a path taken again, a replaced Trash entry, a folder on the way that became a link).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <tuple>

#include "removal_support.hpp"

namespace orvc::testing {
namespace {

TEST_F(RestoreTest, ARunComesBackAsItWasIntoFoldersMadeAnew) {
  const std::string file = home / "proj/notes.txt", folder = home / "proj/build";
  write_file(file, "hello\n");
  write_sized_file(folder + "/obj/a.o", 300000, 5);
  write_file(folder + "/log", "log");
  make_symlink("notes.txt", home / "proj/latest");
  chmod(file.c_str(), 0640);
  chmod((folder + "/obj").c_str(), 0750);
  set_mtime(file, 1'000'000'000);
  set_mtime(folder + "/obj/a.o", 1'100'000'000);
  set_mtime(folder, 1'200'000'000);
  const std::string before = snapshot(home / "proj");
  const std::string bytes = read_file(folder + "/obj/a.o");

  const std::string id = delete_run({file, folder, home / "proj/latest"});
  remove_tree(home / "proj");
  const auto r = orvc({"restore", id.substr(0, 8)});
  EXPECT_EQ(std::tie(r.exit_code, r.out, r.err),
            std::tuple(0,
                       at_root("Restoring from Trash: 3 item(s)\n  restored @/proj/notes.txt\n"
                               "  restored @/proj/build\n  restored @/proj/latest\n"
                               "  Done — 3 item(s) put back.\n",
                               home.path()),
                       ""));
  EXPECT_EQ(snapshot(home / "proj"), before);
  EXPECT_EQ(read_file(folder + "/obj/a.o"), bytes);
  // Folders made anew get the mode of any new folder.
  EXPECT_EQ(std::filesystem::status(home / "proj").permissions(),
            std::filesystem::status(home / "no-bin").permissions());
  EXPECT_EQ(sorted_entries(trash_files()), std::vector<std::string>{});
  EXPECT_EQ(sorted_entries(home / ".local/share/Trash/info"), std::vector<std::string>{});

  // Asked again, nothing is left to do.
  const auto again = orvc({"restore", id});
  EXPECT_EQ(std::tie(again.exit_code, again.out),
            std::tuple(0,
                       "Restoring from Trash: 0 item(s)\n  3 item(s) of the run were no longer "
                       "in the Trash.\n  Done — 0 item(s) put back.\n"));
}

TEST_F(RestoreTest, PathsPutBackTheirItemsWhoeverTrashedThemButNeverOntoATakenPath) {
  const std::string taken = home / "tp/a.txt";
  const auto golden = [&](const std::string& text) { return at_root(text, home.path()); };
  for (const char* name : {"a.txt", "b.txt", "x.txt", "d/inner.txt"})
    write_file(home / "tp/" + name, name);
  delete_run({taken, home / "tp/b.txt"});
  ASSERT_EQ(trash_cli("trash-put tp/x.txt tp/d").exit_code, 0);
  write_file(taken, "new");

  // Relative to the working folder.
  const auto r = orvc({"restore", "x.txt", home / "tp/d", "a.txt", "never"}, home / "tp");
  EXPECT_EQ(std::tie(r.exit_code, r.out, r.err),
            std::tuple(1,
                       golden("Restoring from Trash: 4 item(s)\n  restored @/tp/x.txt\n  restored "
                              "@/tp/d\n  left @/tp/a.txt\n  left @/tp/never\n"),
                       golden("  Some items could not be restored: Restored 2 of 4 item(s) with 2 "
                              "issue(s). '@/tp/a.txt' exists; left in the Trash as 'a.txt'; "
                              "'@/tp/never': not found in the Trash\n")));
  EXPECT_EQ(std::tuple(read_file(home / "tp/x.txt"), read_file(home / "tp/d/inner.txt"),
                       read_file(taken), read_file(trash_files("a.txt"))),
            std::tuple("x.txt", "d/inner.txt", "new", "a.txt"));
  EXPECT_EQ(sorted_entries(trash_files()), (std::vector<std::string>{"a.txt", "b.txt"}));

  const auto to = orvc({"restore", taken, "--to", "~/rescued"});
  EXPECT_EQ(std::tie(to.exit_code, to.out),
            std::tuple(0, golden("Restoring from Trash: 1 item(s)\n  restored @/rescued/a.txt\n"
                                 "  Done — 1 item(s) put back.\n")));
  EXPECT_EQ(read_file(home / "rescued/a.txt"), "a.txt");
  EXPECT_EQ(read_file(taken), "new");
  EXPECT_EQ(sorted_entries(home / ".local/share/Trash/info"),
            std::vector<std::string>{"b.txt.trashinfo"});
}

// Asked for by run or by path, an item stays in the Trash when its entry is no longer the item
// removed or a folder on its way became a link.
TEST_F(RestoreTest, AnItemStaysInTheTrashWhenItsEntryOrItsWayChanged) {
  const std::string path = home / "proj/keys/a.txt";
  const std::string entry = trash_files("a.txt");
  const std::string record = trash_info("a.txt");
  const auto link_keys_to = [&](const std::string& target) {
    remove_tree(home / "proj/keys");
    make_symlink(target, home / "proj/keys");
  };
  const auto replaced = [](const std::string& because) {
    return ": the Trash entry 'a.txt' is no longer the item removed (" + because + "); left alone";
  };
  for (const char* folder : {"/.ssh", "/elsewhere"}) make_dirs(home.path() + folder);
  const std::pair<std::function<void()>, std::string> cases[] = {
      {[&] { write_file(entry, "a longer text"); }, replaced("its size is not the recorded size")},
      {[&] {
         write_file(record,
                    "[Trash Info]\nPath=/elsewhere/a.txt\nDeletionDate=2026-01-01T00:00:00\n");
       },
       replaced("its Trash record names '/elsewhere/a.txt'")},
      {[&] { unlink(record.c_str()); }, replaced("its Trash record is missing or unreadable")},
      {[&] { link_keys_to(home / ".ssh"); },
       ": refused: it is in (or resolves into) a protected location"},
      {[&] { link_keys_to(home / "elsewhere"); },
       ": refused: the folder '" + home / "proj/keys" + "' on its way is a symbolic link"},
  };
  for (const auto& [change, why] : cases) {
    SCOPED_TRACE(why);
    write_file(path, "abc");
    const std::string id = delete_run({path});
    change();
    const std::string before = snapshot(home.path());
    for (const auto& target : {id, path}) {
      const auto r = orvc({"restore", target});
      EXPECT_EQ(std::tie(r.exit_code, r.err),
                std::tuple(1,
                           "  Some items could not be restored: Restored 0 of 1 item(s) with 1 "
                           "issue(s). '" +
                               path + "'" + why + "\n"));
    }
    EXPECT_EQ(snapshot(home.path()), before);
    for (const auto& made : {home / "proj", home / ".local", history_folder()}) remove_tree(made);
  }
}

// Ids are random; the test gives two runs ids that share a prefix.
TEST_F(RestoreTest, RunsByUniquePrefixWithADryRunFirstWhoseFlagsGoEitherSide) {
  const std::string a = home / "p/q/a.txt", b = home / "p/b.txt";
  const auto golden = [&](const std::string& text) { return at_root(text, home.path()); };
  for (const auto& path : {home / "f", a, b}) write_file(path, path);
  const std::vector<std::string> ids = {delete_run({home / "f"}), delete_run({a, b})};
  pin_run(ids[0], "abcd1000-0000-4000-8000-000000000000", 1'700'000'000);
  pin_run(ids[1], "abcd2000-0000-4000-8000-000000000000", 1'700'000'001);
  remove_tree(home / "p");
  const std::string before = snapshot(home.path());
  const std::string dry_run = "  DRY RUN — nothing was restored. Re-run without --dry-run to put ";
  const std::string b_elsewhere = "Restoring from Trash: 1 item(s)\n  would restore " +
                                  home / "new/b.txt\n" + dry_run + "1 item(s) back.\n";
  const struct {
    std::vector<std::string> args;
    std::string out, err;
  } cases[] = {{{"restore", "abcd"},
                "",
                "Error: Run id 'abcd' is ambiguous: it matches 2 runs (abcd2000, abcd1000)\n"},
               {{"restore", "--dry-run", "--to", home / "new", "abcd2"},
                golden("Restoring from Trash: 2 item(s)\n  would restore @/new/a.txt\n  would "
                       "restore @/new/b.txt\n") +
                    dry_run + "2 item(s) back.\n",
                ""},
               {{"restore", "--to", home / "new", b, "--dry-run"}, b_elsewhere, ""},
               {{"restore", b, "--dry-run", "--to", home / "new"}, b_elsewhere, ""}};
  for (const auto& c : cases) {
    const auto r = orvc(c.args);
    EXPECT_EQ(std::tie(r.exit_code, r.out, r.err), std::tuple(c.err.empty() ? 0 : 1, c.out, c.err));
    EXPECT_EQ(snapshot(home.path()), before);
  }

  const auto unique = orvc({"restore", "ABCD2"});
  EXPECT_EQ(std::tie(unique.exit_code, unique.out),
            std::tuple(0, golden("Restoring from Trash: 2 item(s)\n  restored @/p/q/a.txt\n  "
                                 "restored @/p/b.txt\n  Done — 2 item(s) put back.\n")));
  EXPECT_EQ(read_file(a), a);
  EXPECT_FALSE(exists_no_follow(home / "f"));
}

}  // namespace
}  // namespace orvc::testing
