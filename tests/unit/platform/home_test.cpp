#include "platform/home.hpp"

#include <gtest/gtest.h>

#include "platform/platform.hpp"
#include "support/scoped_env.hpp"

namespace orvc {
namespace {

using orvc::testing::ScopedEnv;

TEST(HomeEnv, OnlyAnAbsoluteHomeCounts) {
  struct Row {
    std::optional<std::string> value;
    std::optional<std::string> home;
  };
  const Row rows[] = {
      {"/Users/u", "/Users/u"}, {"/", "/"},
      {"/..", "/.."},           {std::nullopt, std::nullopt},
      {"", std::nullopt},       {".", std::nullopt},
      {"home", std::nullopt},   {"./home", std::nullopt},
      {"~/x", std::nullopt},
  };
  const auto fallback = platform::password_database_home();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.value.value_or("(unset)"));
    const ScopedEnv home("HOME", row.value);
    EXPECT_EQ(home_env(), row.home);
    EXPECT_EQ(home_folder(), row.home ? row.home : fallback);
  }
}

}  // namespace
}  // namespace orvc
