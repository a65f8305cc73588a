// `orvc scan` end to end on fixture trees in a temporary home.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/run_process.hpp"
#include "support/temp_home.hpp"

namespace orvc::testing {
namespace {

// Largest first, folders summed and marked, files under 1 MiB counted but never listed, at most
// 25 entries. A folder that cannot be read counts as empty, links count as their own length and
// invalid bytes are printed as U+FFFD.
TEST(Scan, ListsTheTwentyFiveLargestEntries) {
  const TempDir home;
  const std::string root = home / "root";
  write_sized_file(root + "/proj/a.bin", 3 << 20);
  write_sized_file(root + "/proj/deep/er/b.bin", 1 << 20);
  write_sized_file(root + "/line\nbreak", 2 << 20);
  write_sized_file(root + "/bad\xff\xfename", 3 << 19);
  write_sized_file(root + "/small", 512 << 10);
  write_sized_file(root + "/locked/secret", 2 << 20);
  for (int i = 0; i < 23; ++i) write_sized_file(root + "/f" + std::to_string(i), 1 << 20);
  make_symlink("loop", root + "/loop");
  make_symlink(root, root + "/up");
  // As root every folder is readable: the scan runs as nobody then.
  ASSERT_TRUE(chmod((root + "/locked").c_str(), 0) == 0 && chmod(home.path().c_str(), 0755) == 0);
  std::vector<std::string> argv = orvc_command({"scan", "--path", root});
  if (geteuid() == 0)
    argv.insert(argv.begin(), {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"});
  const auto r = run_program(argv, orvc_options(home.path(), {{"PATH", "/usr/bin:/bin"}}));
  ASSERT_EQ(std::tie(r.exit_code, r.err), std::tuple(0, ""));
  // Equal sizes keep the order in which the folder lists them.
  std::string last_lines;
  int shown = 0;
  for (const std::string& name : listing_order(root)) {
    if (name.starts_with('f') && ++shown <= 22)
      last_lines += "      1.0 MB    3.2%  @/" + name + " \n";
  }
  EXPECT_EQ(r.out, at_root("Scanning @\n\n  31.0 MB  total\n"
                           "      4.0 MB   12.9%  @/proj/\n"
                           "      2.0 MB    6.5%  @/line\nbreak \n"
                           "      1.5 MB    4.8%  @/bad\xef\xbf\xbd\xef\xbf\xbdname \n" +
                               last_lines,
                           root));
  // A root that is a link is measured as the link.
  make_symlink(root, home / "link");
  const auto link = run_orvc({"scan", "--path", home / "link"}, home.path());
  EXPECT_EQ(std::tie(link.exit_code, link.out),
            std::tuple(0, "Scanning " + home / "link" + "\n\n  " + std::to_string(root.size()) +
                              " B  total\n"));
}

}  // namespace
}  // namespace orvc::testing
