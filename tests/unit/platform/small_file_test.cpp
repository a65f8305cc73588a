#include "platform/small_file.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <optional>

#include "support/temp_home.hpp"

namespace orvc::platform {
namespace {

using namespace orvc::testing;

const Result<std::string> kNotRegular = failure("not a regular file");
const Result<std::string> kRefused = failure("a symbolic link, not followed");
const Result<std::string> kMissing = failure("No such file or directory (os error 2)");

// What one kind of entry gives under each link rule: its bytes, or the failure text. None may
// block: a FIFO is never opened for reading, nor a device behind a link.
struct Case {
  const char* what;
  std::function<void(const std::string&)> make;
  Result<std::string> refusing_links;
  Result<std::string> following_links;
};

TEST(ReadSmallFile, EveryKindOfEntryUnderBothLinkRules) {
  const TempDir dir;
  const auto fifo = [](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0644), 0); };
  write_file(dir / "target.json", "{}");
  fifo(dir / "fifo");
  const std::string at_limit(kSmallFileLimit, 'x');
  const Result<std::string> too_large = failure("larger than 16 MiB");
  const Result<std::string> folder = failure("Is a directory (os error 21)");
  const Case cases[] = {
      {"regular file", [](auto& p) { write_file(p, "text\n"); }, "text\n", "text\n"},
      {"empty file", [](auto& p) { write_file(p, ""); }, "", ""},
      {"file of exactly 16 MiB", [&](auto& p) { write_file(p, at_limit); }, at_limit, at_limit},
      {"file one byte over 16 MiB", [&](auto& p) { write_file(p, at_limit + "x"); }, too_large,
       too_large},
      {"FIFO", fifo, kNotRegular, kNotRegular},
      {"folder", [](auto& p) { make_dirs(p); }, folder, folder},
      {"missing", [](auto&) {}, kMissing, kMissing},
      {"link to /dev/zero", [](auto& p) { make_symlink("/dev/zero", p); }, kRefused, kNotRegular},
      {"link to a FIFO", [&](auto& p) { make_symlink(dir / "fifo", p); }, kRefused, kNotRegular},
      {"link to a file", [&](auto& p) { make_symlink(dir / "target.json", p); }, kRefused, "{}"},
      {"dangling link", [&](auto& p) { make_symlink(dir / "nowhere", p); }, kRefused, kMissing},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir / ("entry-" + std::to_string(&c - cases));
    c.make(path);
    EXPECT_EQ(read_small_file(path, FinalLink::Refuse), c.refusing_links);
    EXPECT_EQ(read_small_file(path, FinalLink::Follow), c.following_links);
  }
  // A writer that holds the FIFO open: a blocking reader would wait for it forever.
  const int reader = open((dir / "fifo").c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  const int writer = open((dir / "fifo").c_str(), O_WRONLY);
  ASSERT_GE(writer, 0);
  EXPECT_EQ(read_small_file(dir / "fifo", FinalLink::Refuse), kNotRegular);
  close(writer);
  close(reader);
}

}  // namespace
}  // namespace orvc::platform
