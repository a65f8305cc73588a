#include "removal/trash_record.hpp"

#include <gtest/gtest.h>

#include "removal/trash_info.hpp"

namespace orvc::removal {
namespace {

TEST(TrashRecord, PercentDecodingUndoesTheEncoding) {
  for (const std::string path : {"/home/u/a b.txt", "/x/%25/ü/\xff\x01", "/plain/path-_.~"}) {
    EXPECT_EQ(percent_decode(percent_encode_path(path)), path);
  }
  EXPECT_EQ(percent_decode("%2f%2F"), "//");
  for (const char* bad : {"%", "%2", "%zz", "a%g1"}) EXPECT_EQ(percent_decode(bad), std::nullopt);
}

TEST(TrashRecord, ParsesWhatTheMoverWritesAndRejectsTheRest) {
  const auto record = parse_trash_record(trash_info_text("/home/u/my file", 0));
  ASSERT_TRUE(record) << record.error();
  EXPECT_EQ(record->original_path, "/home/u/my file");
  EXPECT_EQ(record->deletion_date.size(), 19u);

  const auto crlf = parse_trash_record("[Trash Info]\r\nPath=/a%20b\r\nDeletionDate=x\r\n");
  ASSERT_TRUE(crlf);
  EXPECT_EQ(crlf->original_path, "/a b");

  const std::vector<std::pair<std::string, std::string>> rejected = {
      {"", "no Path in the record"},
      {"[Other]\nPath=/a\n", "no Path in the record"},
      {"[Trash Info]\nPath=a/../../etc\n", "the relative Path leaves its volume"},
      {"[Trash Info]\nPath=/a%zz\n", "malformed Path"},
  };
  for (const auto& [text, message] : rejected) {
    const auto parsed = parse_trash_record(text);
    ASSERT_FALSE(parsed) << text;
    EXPECT_EQ(parsed.error(), message);
  }
}

}  // namespace
}  // namespace orvc::removal
