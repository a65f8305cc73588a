// The check before a move, against files changed in every way a user or a program might change
// them between the scan and the move.
#include "duplicates/reverify.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <thread>

#include "duplicates/find_duplicates.hpp"
#include "support/temp_home.hpp"

namespace orvc::duplicates {
namespace {

using namespace orvc::testing;

// Flips one byte in place, then puts back the modification time the scan saw.
void flip_byte(const std::string& path, size_t at, int64_t mtime) {
  std::string content = read_file(path);
  content[at] = static_cast<char>(content[at] ^ 0x01);
  write_file(path, content);
  set_mtime(path, mtime);
}

TEST(Reverifier, OnlyUntouchedCopiesOfUntouchedKeptCopiesAreTheSame) {
  // Sizes decided by the prefix alone, by a whole-file sample, and by the content stage.
  for (const uint64_t size : {uint64_t{4096}, uint64_t{100000}, uint64_t{600000}}) {
    const std::pair<const char*, std::function<void(const std::string& kept, const std::string&)>>
        changes[] = {
            {"nothing", [](auto&, auto&) {}},
            {"a byte of the copy", [&](auto&, auto& copy) { flip_byte(copy, size / 2, 1000); }},
            {"the copy's time", [](auto&, auto& copy) { set_mtime(copy, 5000); }},
            {"the copy replaced by an identical file",
             [&](auto&, auto& copy) {
               write_sized_file(copy + ".new", size);
               set_mtime(copy + ".new", 1000);
               ASSERT_EQ(rename((copy + ".new").c_str(), copy.c_str()), 0);
             }},
            {"the copy gone", [](auto&, auto& copy) { ASSERT_EQ(unlink(copy.c_str()), 0); }},
            {"a byte of the kept copy", [&](auto& kept, auto&) { flip_byte(kept, size - 1, 900); }},
            {"the kept copy gone", [](auto& kept, auto&) { ASSERT_EQ(unlink(kept.c_str()), 0); }},
        };
    const Recheck expected[] = {Recheck::Same,        Recheck::CopyChanged, Recheck::CopyChanged,
                                Recheck::CopyChanged, Recheck::CopyChanged, Recheck::KeptChanged,
                                Recheck::KeptChanged};
    for (size_t c = 0; c < std::size(changes); ++c) {
      SCOPED_TRACE(std::string(changes[c].first) + ", " + std::to_string(size));
      const TempDir dir;
      for (const auto& [name, time] : {std::pair{"kept", 900}, {"copy", 1000}, {"other", 1000}}) {
        write_sized_file(dir / name, size);
        set_mtime(dir / name, time);
      }
      const auto groups = find_duplicates(dir.path(), DevFolders::Skip, std::atomic<bool>{false});
      ASSERT_EQ(groups.size(), 1u);
      ASSERT_EQ(groups[0].keep.path, dir / "kept");
      const size_t copy = groups[0].duplicates[0].path == dir / "copy" ? 0 : 1;

      changes[c].second(dir / "kept", dir / "copy");
      Reverifier reverifier(groups);
      EXPECT_EQ(reverifier.recheck(0, copy), expected[c]);
      // The untouched copy stands or falls with its kept copy.
      EXPECT_EQ(reverifier.recheck(0, 1 - copy),
                expected[c] == Recheck::KeptChanged ? Recheck::KeptChanged : Recheck::Same);
    }
  }
}

TEST(Reverifier, CopiesOfOneGroupCheckedFromManyThreadsAtOnce) {
  const TempDir dir;
  for (int i = 0; i < 9; ++i) write_sized_file(dir / std::to_string(i), 70000);
  const auto groups = find_duplicates(dir.path(), DevFolders::Skip, std::atomic<bool>{false});
  ASSERT_EQ(groups.size(), 1u);
  Reverifier reverifier(groups);
  std::vector<Recheck> verdicts(8, Recheck::CopyChanged);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < verdicts.size(); ++i)
    threads.emplace_back([&, i] { verdicts[i] = reverifier.recheck(0, i); });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(verdicts, std::vector<Recheck>(8, Recheck::Same));
}

}  // namespace
}  // namespace orvc::duplicates
