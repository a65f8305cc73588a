#include <gtest/gtest.h>

#include "safety/protection.hpp"
#include "support/scoped_env.hpp"
#include "unit/fixture_tree.hpp"

namespace orvc::safety {
namespace {

using namespace orvc::testing;

std::optional<ProtectionKind> kind_of(const std::string& path) {
  const auto found = is_protected_path(path);
  return found ? std::optional(found->kind) : std::nullopt;
}

class IsProtectedPath : public ::testing::Test {
 protected:
  TempDir home_;
  ScopedEnv home_env_{"HOME", home_.path()};
};

TEST_F(IsProtectedPath, LinkIntoAProtectedPlaceIsJudgedByItsResolvedPath) {
  make_tree(home_.path(), {".ssh/", "projects/keys->../.ssh", "shared->/usr/share"});
  EXPECT_EQ(kind_of(home_ / "projects/keys/id_rsa"), ProtectionKind::SensitivePath);
  EXPECT_EQ(kind_of(home_ / "shared/doc/readme"), ProtectionKind::SensitivePath);
  // The link itself is judged as a link.
  EXPECT_EQ(kind_of(home_ / "projects/keys"), std::nullopt);
  EXPECT_EQ(kind_of(home_ / "projects/../projects/notes.txt"), std::nullopt);
  EXPECT_EQ(kind_of(home_ / "projects/../.ssh/config"), ProtectionKind::SensitivePath);
}

TEST_F(IsProtectedPath, HomeReachedThroughALinkIsCanonicalisedForTheSecondPass) {
  make_tree(home_.path(), {"real/.ssh/", "alias->real"});
  const ScopedEnv linked_home("HOME", home_ / "alias");
  EXPECT_EQ(kind_of(home_ / "real/.ssh/id_rsa"), ProtectionKind::SensitivePath);
  EXPECT_EQ(kind_of(home_ / "real/Desktop"), ProtectionKind::UserFolder);
  EXPECT_EQ(kind_of(home_ / "real/Desktop/old.zip"), std::nullopt);
}

// Without a usable HOME the home rules go and the system rules stay.
TEST_F(IsProtectedPath, WithoutAUsableHomeTheSystemRulesStay) {
  for (const std::optional<std::string>& odd_home :
       {std::optional<std::string>(), std::optional<std::string>(""),
        std::optional<std::string>("/"), std::optional<std::string>("."),
        std::optional<std::string>("/..")}) {
    SCOPED_TRACE(odd_home.value_or("(unset)"));
    const ScopedEnv home("HOME", odd_home);
    EXPECT_EQ(kind_of("/usr/bin/env"), ProtectionKind::SensitivePath);
    EXPECT_EQ(kind_of("/etc/passwd"), ProtectionKind::SensitivePath);
    EXPECT_EQ(kind_of(""), ProtectionKind::Root);
    if (!odd_home) {
      EXPECT_EQ(kind_of(home_ / ".ssh/id_rsa"), std::nullopt);
    }
  }
}

TEST_F(IsProtectedPath, OddInputGetsAnAnswerAndNothingChanges) {
  EXPECT_EQ(kind_of(".."), std::nullopt);
  EXPECT_EQ(kind_of("."), ProtectionKind::Root);
  EXPECT_EQ(kind_of(home_ / "\xff\xfe/file"), std::nullopt);
  EXPECT_EQ(kind_of(home_ / ".ssh/\xff"), ProtectionKind::SensitivePath);
  EXPECT_EQ(kind_of(home_ / std::string("a\0b", 3)), std::nullopt);
  std::string deep = home_ / "deep";
  for (int i = 0; i < 10000; ++i) deep += "/a";
  EXPECT_EQ(kind_of(deep), std::nullopt);
  EXPECT_EQ(kind_of("/usr" + deep), ProtectionKind::SensitivePath);
  write_file(home_ / "work/a.txt", "a");
  is_protected_path(home_ / "work/a.txt");
  is_protected_path(home_ / "work/missing/deeper/b.txt");
  EXPECT_EQ(sorted_entries(home_ / "work"), std::vector<std::string>{"a.txt"});
}

}  // namespace
}  // namespace orvc::safety
