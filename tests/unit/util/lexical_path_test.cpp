#include "util/lexical_path.hpp"

#include <gtest/gtest.h>

#include <optional>

namespace orvc {
namespace {

using Maybe = std::optional<std::string_view>;

TEST(LexicalPath, LastComponentAndParent) {
  struct Case {
    std::string_view path;
    Maybe last;
    Maybe parent;
  };
  const Case cases[] = {
      {"/", {}, {}},    {"", {}, {}},           {"a", "a", ""},        {"a/", "a", ""},
      {"/a", "a", "/"}, {"//x//y", "y", "//x"}, {"/a/b/.", "b", "/a"}, {"/a/..", {}, "/a"},
      {".", {}, ""},    {"./a", "a", "."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(last_component(c.path), c.last) << c.path;
    EXPECT_EQ(parent_path(c.path), c.parent) << c.path;
  }
}

TEST(LexicalPath, RelativeBelow) {
  struct Case {
    std::string_view base;
    std::string_view path;
    Maybe rest;
  };
  const Case cases[] = {
      {"/r", "/r/x/y", "x/y"}, {"/r", "/r", ""},          {"/r/", "/r//./x/", "x"},
      {"/r", "/rx", {}},       {"r", "/r/x", {}},         {"/", "/x", "x"},
      {"/r/s", "/r", {}},      {"/r/./s", "/r/s/t", "t"},
  };
  for (const Case& c : cases) EXPECT_EQ(relative_below(c.base, c.path), c.rest) << c.path;
}

}  // namespace
}  // namespace orvc
