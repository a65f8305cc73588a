#include "platform/small_file.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <optional>

#include "support/temp_home.hpp"

namespace orvc::platform {
namespace {

using namespace orvc::testing;

constexpr const char* kNotRegular = "not a regular file";
constexpr const char* kTooLarge = "larger than 16 MiB";
constexpr const char* kLinkRefused = "a symbolic link, not followed";

// What one kind of entry gives under each link rule: its bytes, or the failure text.
struct Case {
  const char* what;
  std::function<void(const std::string&)> make;
  Result<std::string> refusing_links;
  Result<std::string> following_links;
};

TEST(ReadSmallFile, EveryKindOfEntryUnderBothLinkRules) {
  const TempDir dir;
  write_file(dir / "target.json", "{}");
  const std::string at_limit(kSmallFileLimit, 'x');
  const Case cases[] = {
      {"regular file", [](const std::string& p) { write_file(p, "text\n"); }, "text\n", "text\n"},
      {"empty file", [](const std::string& p) { write_file(p, ""); }, "", ""},
      {"file of exactly 16 MiB", [&](const std::string& p) { write_file(p, at_limit); }, at_limit,
       at_limit},
      {"file one byte over 16 MiB", [&](const std::string& p) { write_file(p, at_limit + "x"); },
       failure(kTooLarge), failure(kTooLarge)},
      {"FIFO", [](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0644), 0); },
       failure(kNotRegular), failure(kNotRegular)},
      {"folder", [](const std::string& p) { make_dirs(p); },
       failure("Is a directory (os error 21)"), failure("Is a directory (os error 21)")},
      {"missing", [](const std::string&) {}, failure("No such file or directory (os error 2)"),
       failure("No such file or directory (os error 2)")},
      {"link to /dev/zero", [](const std::string& p) { make_symlink("/dev/zero", p); },
       failure(kLinkRefused), failure(kNotRegular)},
      {"link to a FIFO",
       [&](const std::string& p) {
         ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0644), 0);
         make_symlink(dir / "fifo", p);
       },
       failure(kLinkRefused), failure(kNotRegular)},
      {"link to a regular file",
       [&](const std::string& p) { make_symlink(dir / "target.json", p); }, failure(kLinkRefused),
       "{}"},
      {"dangling link", [&](const std::string& p) { make_symlink(dir / "nowhere", p); },
       failure(kLinkRefused), failure("No such file or directory (os error 2)")},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir / ("entry-" + std::to_string(n++));
    c.make(path);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(read_small_file(path, FinalLink::Refuse), c.refusing_links);
    EXPECT_EQ(read_small_file(path, FinalLink::Follow), c.following_links);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  }
}

TEST(ReadSmallFile, FifoWithAWriterIsStillNotRead) {
  const TempDir dir;
  const std::string fifo = dir / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  // A writer that holds the FIFO open: a blocking reader would wait for it forever.
  const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  const int writer = open(fifo.c_str(), O_WRONLY);
  ASSERT_GE(writer, 0);
  EXPECT_EQ(read_small_file(fifo, FinalLink::Refuse), Result<std::string>(failure(kNotRegular)));
  close(writer);
  close(reader);
}

}  // namespace
}  // namespace orvc::platform
