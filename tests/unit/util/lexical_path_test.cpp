#include "util/lexical_path.hpp"

#include <gtest/gtest.h>

#include <optional>

namespace orvc {
namespace {

using Maybe = std::optional<std::string_view>;

TEST(LexicalPath, LastComponentAndParent) {
  const std::tuple<std::string_view, Maybe, Maybe> cases[] = {
      {"/", {}, {}},    {"", {}, {}},           {"a", "a", ""},        {"a/", "a", ""},
      {"/a", "a", "/"}, {"//x//y", "y", "//x"}, {"/a/b/.", "b", "/a"}, {"/a/..", {}, "/a"},
      {".", {}, ""},    {"./a", "a", "."},
  };
  for (const auto& [path, last, parent] : cases) {
    EXPECT_EQ(last_component(path), last) << path;
    EXPECT_EQ(parent_path(path), parent) << path;
  }
}

TEST(LexicalPath, RelativeBelow) {
  const std::tuple<std::string_view, std::string_view, Maybe> cases[] = {
      {"/r", "/r/x/y", "x/y"}, {"/r", "/r", ""},          {"/r/", "/r//./x/", "x"},
      {"/r", "/rx", {}},       {"r", "/r/x", {}},         {"/", "/x", "x"},
      {"/r/s", "/r", {}},      {"/r/./s", "/r/s/t", "t"},
  };
  for (const auto& [base, path, rest] : cases) EXPECT_EQ(relative_below(base, path), rest) << path;
}

}  // namespace
}  // namespace orvc
