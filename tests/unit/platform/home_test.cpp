#include "platform/home.hpp"

#include <gtest/gtest.h>

#include "platform/platform.hpp"
#include "support/scoped_env.hpp"

namespace orvc {
namespace {

using orvc::testing::ScopedEnv;

// Each value of HOME and whether it counts, as given.
TEST(HomeEnv, OnlyAnAbsoluteHomeCounts) {
  const std::pair<std::optional<std::string>, bool> rows[] = {
      {"/Users/u", true}, {"/", true},     {"/..", true},     {std::nullopt, false}, {"", false},
      {".", false},       {"home", false}, {"./home", false}, {"~/x", false}};
  const auto fallback = platform::password_database_home();
  for (const auto& [value, counts] : rows) {
    SCOPED_TRACE(value.value_or("(unset)"));
    const ScopedEnv home("HOME", value);
    EXPECT_EQ(home_env(), counts ? value : std::nullopt);
    EXPECT_EQ(home_folder(), counts ? value : fallback);
  }
}

}  // namespace
}  // namespace orvc
