// Removal under races: folders swapped for links while a move runs, and other programs taking
// Trash names at the same moment.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <stdio.h>
#include <unistd.h>

#include <set>
#include <thread>

#include "removal_support.hpp"

namespace orvc::testing {
namespace {

using ::testing::HasSubstr;

// A helper swaps a real folder and a link to ~/.ssh as fast as it can while orvc deletes a
// file "inside" the folder. Whatever the timing, the key is never moved, and a decoy that is
// moved is recorded as coming from the real folder.
TEST_F(DeleteTest, SwappingAFolderForALinkNeverMovesWhatItLeadsTo) {
  write_file(home / ".ssh/id_rsa", "key");
  make_dirs(home / "w/d");
  make_symlink(home / ".ssh", home / "w/l");
  const int real_folder = open((home / "w/d").c_str(), O_RDONLY | O_DIRECTORY);
  const int w = open((home / "w").c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_TRUE(real_folder >= 0 && w >= 0);

  std::jthread swapper([&](const std::stop_token& stop) {
    while (!stop.stop_requested()) renameat2(w, "d", w, "l", RENAME_EXCHANGE);
  });
  for (int round = 0; round < 200; ++round) {
    const int decoy = openat(real_folder, "id_rsa", O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_TRUE(decoy >= 0 && write(decoy, "decoy", 5) == 5);
    close(decoy);
    const auto r = delete_paths({home / "w/d/id_rsa"});
    ASSERT_EQ(read_file(home / ".ssh/id_rsa"), "key") << "round " << round << ": " << r.err;
  }
  swapper.request_stop();
  swapper.join();
  close(real_folder);
  close(w);

  for (const std::string& name : sorted_entries(trash_files())) {
    EXPECT_EQ(read_file(trash_files(name)), "decoy") << name;
    EXPECT_THAT(read_file(trash_info(name)), HasSubstr("\nPath=" + home.path() + "/w/d/id_rsa\n"))
        << name;
  }
}

// Two orvc runs and a third program fill the Trash with items of the same names at once. The
// third program creates its entries without records, as a Trash that keeps none would: only the
// move's refusal to replace keeps them.
TEST_F(DeleteTest, NoTrashEntryIsEverReplaced) {
  constexpr int kFiles = 150;
  std::vector<std::string> first, second;
  std::multiset<std::string> expected;  // what the Trash holds at the end
  for (int i = 0; i < kFiles; ++i) {
    first.push_back(home / ("a/f" + std::to_string(i)));
    second.push_back(home / ("b/f" + std::to_string(i)));
    write_file(first.back(), "a" + std::to_string(i));
    write_file(second.back(), "b" + std::to_string(i));
    for (const char* who : {"a", "b", "s"}) expected.insert(who + std::to_string(i));
  }
  for (const char* part : {"files", "info"}) make_dirs(home / ".local/share/Trash/" + part);

  std::thread other_tool([&] {
    for (int i = 0; i < kFiles; ++i) {
      int fd = -1;
      for (int n = 1; fd < 0; ++n) {
        const std::string name = "f" + std::to_string(i) + (n == 1 ? "" : " " + std::to_string(n));
        fd = open(trash_files(name).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
      }
      EXPECT_GT(dprintf(fd, "s%d", i), 0);
      close(fd);
    }
  });
  ProcessResult second_run;
  std::thread second_orvc([&] { second_run = delete_paths(second); });
  const auto first_run = delete_paths(first);
  second_orvc.join();
  other_tool.join();
  EXPECT_EQ(std::pair(first_run.exit_code, second_run.exit_code), std::pair(0, 0))
      << first_run.err << second_run.err;

  std::multiset<std::string> contents;
  for (const std::string& name : sorted_entries(trash_files()))
    contents.insert(read_file(trash_files(name)));
  EXPECT_EQ(contents, expected);
}

}  // namespace
}  // namespace orvc::testing
