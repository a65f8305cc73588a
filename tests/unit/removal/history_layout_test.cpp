#include "removal/history_layout.hpp"

#include <gtest/gtest.h>

#include <limits>

#include "removal/history_json.hpp"

namespace orvc::removal {
namespace {

CleanupSession sample(std::vector<DeletedFile> files) {
  CleanupSession session;
  session.session_id = "0b1c2d3e-0000-4000-8000-000000000000";
  session.timestamp = "2026-12-06T16:00:00.5+00:00";
  session.unix_timestamp = 1796572800;
  session.cleanup_type = "cli_delete";
  session.deleted_files = std::move(files);
  session.total_bytes_freed = 12;
  session.status = "completed";
  return session;
}

TEST(HistoryLayout, ReadsWhatTheWriterWritesAsTheJsonParserWould) {
  CleanupSession negative = sample({});
  negative.unix_timestamp = -5;
  CleanupSession extremes = sample({{"/a", std::numeric_limits<uint64_t>::max(), "c", "n"}});
  extremes.unix_timestamp = std::numeric_limits<int64_t>::max();
  const std::vector<CleanupSession> sessions = {
      sample({}),
      negative,
      extremes,
      sample({{"/home/u/ü b", 5, "cli_delete", "ü b", "/home/u/.local/share/Trash/files/ü b", 42,
               std::numeric_limits<uint64_t>::max()},
              {"/z", 1, "cli_delete", "z", "/t/files/z", 7, std::nullopt},
              {"rel/x", 0, "cli_dev_junk", std::nullopt, std::nullopt},
              {"/y", 7, "cli_large_files", "y 2", std::nullopt}}),
  };
  for (const auto& session : sessions) {
    const auto text = session_to_json(session);
    ASSERT_TRUE(text);
    const auto fast = read_written_layout(*text);
    ASSERT_TRUE(fast) << *text;
    EXPECT_EQ(*fast, session);
    EXPECT_EQ(parse_session(*text), session);
  }
}

TEST(HistoryLayout, LeavesEverythingElseToTheJsonParser) {
  const CleanupSession quoted = sample({{"/a \"q\"\\b\n", 1, "c", "n"}});
  const std::string written = *session_to_json(sample({{"/a", 1, "c", "n"}}));
  const std::vector<std::pair<const char*, std::string>> others = {
      {"escapes", *session_to_json(quoted)},
      {"compact", R"({"session_id":"x","timestamp":"t","unix_timestamp":1,"cleanup_type":"c",)"
                  R"("deleted_files":[],"total_bytes_freed":0,"status":"s"})"},
      {"final newline", written + "\n"},
      {"leading zero", std::string(written).replace(written.find(": 1,"), 4, ": 01,")},
      {"fraction", std::string(written).replace(written.find(": 1,"), 4, ": 1.0,")},
      {"null trash_path", std::string(written).replace(written.find("\"original_path\""), 0,
                                                       "\"trash_path\": null,\n      ")},
  };
  for (const auto& [what, text] : others) {
    EXPECT_EQ(read_written_layout(text), std::nullopt) << what;
  }
  EXPECT_EQ(parse_session(*session_to_json(quoted)), quoted);
  EXPECT_TRUE(parse_session(others[1].second));
  EXPECT_TRUE(parse_session(others[2].second));
  EXPECT_TRUE(parse_session(others[5].second));
  EXPECT_FALSE(parse_session(others[3].second));
}

}  // namespace
}  // namespace orvc::removal
