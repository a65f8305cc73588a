#include <gtest/gtest.h>

#include "safety/protection.hpp"
#include "support/scoped_env.hpp"
#include "support/temp_home.hpp"

namespace orvc::safety {
namespace {

using namespace orvc::testing;

std::optional<ProtectionKind> kind_of(const std::string& path) {
  const auto found = is_protected_path(path);
  if (!found) return std::nullopt;
  return found->kind;
}

class IsProtectedPath : public ::testing::Test {
 protected:
  TempDir home_;
  ScopedEnv home_env_{"HOME", home_.path()};
};

TEST_F(IsProtectedPath, LinkIntoAProtectedPlaceIsJudgedByItsResolvedPath) {
  make_dirs(home_ / ".ssh");
  make_dirs(home_ / "projects");
  make_symlink(home_ / ".ssh", home_ / "projects/keys");
  make_symlink("/usr/share", home_ / "shared");
  EXPECT_EQ(kind_of(home_ / "projects/keys/id_rsa"), ProtectionKind::SensitivePath);
  EXPECT_EQ(kind_of(home_ / "shared/doc/readme"), ProtectionKind::SensitivePath);
  // The link itself is judged as a link.
  EXPECT_EQ(kind_of(home_ / "projects/keys"), std::nullopt);
  EXPECT_EQ(kind_of(home_ / "projects/../projects/notes.txt"), std::nullopt);
  EXPECT_EQ(kind_of(home_ / "projects/../.ssh/config"), ProtectionKind::SensitivePath);
}

TEST_F(IsProtectedPath, HomeReachedThroughALinkIsCanonicalisedForTheSecondPass) {
  make_dirs(home_ / "real/.ssh");
  make_symlink(home_ / "real", home_ / "alias");
  const ScopedEnv linked_home("HOME", home_ / "alias");
  EXPECT_EQ(kind_of(home_ / "real/.ssh/id_rsa"), ProtectionKind::SensitivePath);
  EXPECT_EQ(kind_of(home_ / "real/Desktop"), ProtectionKind::UserFolder);
  EXPECT_EQ(kind_of(home_ / "real/Desktop/old.zip"), std::nullopt);
}

// Without a usable HOME the home rules go and the system rules stay.
TEST_F(IsProtectedPath, WithoutAUsableHomeTheSystemRulesStay) {
  const std::string key = home_ / ".ssh/id_rsa";
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
      EXPECT_EQ(kind_of(key), std::nullopt);
    }
  }
}

TEST_F(IsProtectedPath, OddInputGetsAnAnswer) {
  EXPECT_EQ(kind_of(".."), std::nullopt);
  EXPECT_EQ(kind_of("."), ProtectionKind::Root);
  EXPECT_EQ(kind_of(home_ / "\xff\xfe/file"), std::nullopt);
  EXPECT_EQ(kind_of(home_ / ".ssh/\xff"), ProtectionKind::SensitivePath);
  EXPECT_EQ(kind_of(home_ / std::string("a\0b", 3)), std::nullopt);
  std::string deep = home_ / "deep";
  for (int i = 0; i < 10000; ++i) deep += "/a";
  EXPECT_EQ(kind_of(deep), std::nullopt);
  EXPECT_EQ(kind_of("/usr" + deep), ProtectionKind::SensitivePath);
}

TEST_F(IsProtectedPath, NeverChangesTheFileSystem) {
  make_dirs(home_ / "work");
  write_file(home_ / "work/a.txt", "a");
  is_protected_path(home_ / "work/a.txt");
  is_protected_path(home_ / "work/missing/deeper/b.txt");
  EXPECT_TRUE(orvc::testing::exists_no_follow(home_ / "work/a.txt"));
  EXPECT_FALSE(orvc::testing::exists_no_follow(home_ / "work/missing"));
}

}  // namespace
}  // namespace orvc::safety
