#include "removal/history.hpp"

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <limits>

#include "removal/history_json.hpp"
#include "removal/history_layout.hpp"
#include "removal/history_prune.hpp"
#include "removal/session_id.hpp"
#include "removal_fixture.hpp"
#include "util/diagnostics.hpp"

namespace orvc::removal {
namespace {

using namespace orvc::testing;

CleanupSession sample(std::vector<DeletedFile> files = {
                          {"/Users/u/Café/a \"b\".zip", 10, "cli_delete", "a \"b\".zip"},
                          {"..", 0, "cli_delete", std::nullopt}}) {
  CleanupSession session;
  session.session_id = "0b6f3c1e-2a4d-4c8e-9f10-1234567890ab";
  session.timestamp = "2024-05-01T09:30:00.123+00:00";
  session.unix_timestamp = 1714555800;
  session.cleanup_type = "cli_delete";
  session.deleted_files = std::move(files);
  session.total_bytes_freed = 10;
  session.status = "completed";
  return session;
}

std::string manifest_with(int64_t unix_timestamp, const std::string& id) {
  CleanupSession session = sample();
  session.session_id = id;
  session.unix_timestamp = unix_timestamp;
  return *session_to_json(session);
}

int64_t now_seconds() {
  return std::chrono::floor<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::string id_for(int n) {
  return fmt::format("00000000-0000-4000-8000-{:012}", n);
}

TEST(HistoryJson, WritesThePrettyLayoutWithoutFinalNewline) {
  EXPECT_EQ(*session_to_json(sample()),
            "{\n"
            "  \"session_id\": \"0b6f3c1e-2a4d-4c8e-9f10-1234567890ab\",\n"
            "  \"timestamp\": \"2024-05-01T09:30:00.123+00:00\",\n"
            "  \"unix_timestamp\": 1714555800,\n"
            "  \"cleanup_type\": \"cli_delete\",\n"
            "  \"deleted_files\": [\n"
            "    {\n"
            "      \"original_path\": \"/Users/u/Café/a \\\"b\\\".zip\",\n"
            "      \"size\": 10,\n"
            "      \"category\": \"cli_delete\",\n"
            "      \"trashed_name\": \"a \\\"b\\\".zip\"\n"
            "    },\n"
            "    {\n"
            "      \"original_path\": \"..\",\n"
            "      \"size\": 0,\n"
            "      \"category\": \"cli_delete\",\n"
            "      \"trashed_name\": null\n"
            "    }\n"
            "  ],\n"
            "  \"total_bytes_freed\": 10,\n"
            "  \"status\": \"completed\"\n"
            "}");
}

// What the writer writes is read back in history_layout_test.
TEST(HistoryJson, RejectsDuplicateAndMissingMembers) {
  const std::string text = *session_to_json(sample());
  const auto with_file = [](const std::string& file) {
    return R"({"session_id":"x","timestamp":"t","unix_timestamp":-5,"cleanup_type":"c",)"
           R"("extra":[1],"deleted_files":[)" +
           file + R"(],"total_bytes_freed":1,"status":"completed"})";
  };
  const std::pair<std::string, std::string> rejected[] = {
      {text.substr(0, text.find(",\n  \"status\"")) + "\n}", "missing field `status`"},
      {with_file(R"({"original_path":"a","original_path":"b","size":1,"category":"c"})"),
       "duplicate field `original_path`"},
  };
  for (const auto& [json, message] : rejected) EXPECT_EQ(parse_session(json).error(), message);
  const auto parsed = parse_session(with_file(R"({"original_path":"a","size":1,"category":"c"})"));
  ASSERT_TRUE(parsed) << parsed.error();
  EXPECT_EQ(parsed->deleted_files.at(0).trashed_name, std::nullopt);
}

// The fast reader of manifests reads what the writer writes as the JSON parser would, and
// leaves everything else to the parser.
TEST(HistoryLayout, ReadsOnlyTheWritersOwnLayoutAsTheJsonParserWould) {
  CleanupSession negative = sample({}), extremes = sample({{"/a", UINT64_MAX, "c", "n"}});
  negative.unix_timestamp = -5;
  extremes.unix_timestamp = std::numeric_limits<int64_t>::max();
  for (const CleanupSession& session :
       {sample({}), negative, extremes,
        sample({{"/home/u/ü b", 5, "cli_delete", "ü b", "/home/u/.local/share/Trash/files/ü b", 42,
                 UINT64_MAX},
                {"/z", 1, "cli_delete", "z", "/t/files/z", 7, std::nullopt},
                {"rel/x", 0, "cli_dev_junk", std::nullopt, std::nullopt},
                {"/y", 7, "cli_large_files", "y 2", std::nullopt}})}) {
    const std::string text = *session_to_json(session);
    EXPECT_EQ(read_written_layout(text), session) << text;
    EXPECT_EQ(parse_session(text), session);
  }
  const std::string written = *session_to_json(sample({{"/a", 1, "c", "n"}}));
  const auto edited = [&](const std::string& from, const std::string& to) {
    return std::string(written).replace(written.find(from), from.size(), to);
  };
  const struct {
    const char* what;
    std::string text;
    bool valid;
  } others[] = {
      {"escapes", *session_to_json(sample({{"/a \"q\"\\b\n", 1, "c", "n"}})), true},
      {"compact",
       R"({"session_id":"x","timestamp":"t","unix_timestamp":1,"cleanup_type":"c",)"
       R"("deleted_files":[],"total_bytes_freed":0,"status":"s"})",
       true},
      {"final newline", written + "\n", true},
      {"leading zero", edited(": 1,", ": 01,"), false},
      {"fraction", edited(": 1,", ": 1.0,"), false},
      {"null trash_path",
       edited("\"original_path\"", "\"trash_path\": null,\n      \"original_path\""), true},
  };
  for (const auto& [what, text, valid] : others) {
    EXPECT_EQ(read_written_layout(text), std::nullopt) << what;
    EXPECT_EQ(parse_session(text).has_value(), valid) << what;
  }
  EXPECT_EQ(parse_session(others[0].text), sample({{"/a \"q\"\\b\n", 1, "c", "n"}}));
}

class HistoryStoreTest : public testing::RemovalTest {};

TEST_F(HistoryStoreTest, WritesPrivateManifestsAtomically) {
  CleanupSession session = new_session(
      CleanupType::Delete, {{"/a", 7, "cli_delete", "a"}, {"/b", 8, "cli_delete", "b"}});
  EXPECT_EQ(session.total_bytes_freed, 15u);
  EXPECT_EQ(session.status, "completed");
  EXPECT_NEAR(static_cast<double>(session.unix_timestamp), static_cast<double>(now_seconds()), 5);

  ASSERT_EQ(write_session(session), session.session_id);
  const std::string path = history(session.session_id + ".json");
  EXPECT_EQ(mode_of(history()), 0700u);
  EXPECT_EQ(mode_of(path), 0600u);
  EXPECT_FALSE(exists_no_follow(history(session.session_id + ".tmp")));
  EXPECT_EQ(*parse_session(read_file(path)), session);

  session.status = "pending";
  ASSERT_TRUE(write_session(session));
  EXPECT_EQ(parse_session(read_file(path))->status, "pending");

  std::string upper = session.session_id;  // deleted by its id in either case
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_TRUE(delete_session(upper));
  EXPECT_FALSE(exists_no_follow(path));
  EXPECT_EQ(delete_session("not-a-uuid").error(), "Invalid session id: not-a-uuid");
}

// Without HOME nothing is written or created: e2e/protection_gate_test.
TEST_F(HistoryStoreTest, PrunesByAgeThenToTheFiftyNewestAndLeavesOtherFilesAlone) {
  testing::make_dirs(history());
  const int64_t week_ago = now_seconds() - 604800;
  for (int i = 0; i < 53; ++i) {
    write_file(history(id_for(i) + ".json"), manifest_with(week_ago + 60 + i, id_for(i)));
  }
  write_file(history(id_for(99) + ".json"), manifest_with(week_ago - 30, id_for(99)));
  write_file(history("broken.json"), "{\"session_id\": 1}");
  for (const char* other : {"notes.JSON", "a.tmp", ".json"}) write_file(history(other), "{}");

  std::string diagnostics;
  set_diagnostic_sink([&](std::string_view line) { (diagnostics += line) += '\n'; });
  const auto removed = prune_history();
  set_diagnostic_sink({});

  EXPECT_EQ(removed, 5u);
  for (int i = 0; i < 53; ++i) {
    EXPECT_EQ(exists_no_follow(history(id_for(i) + ".json")), i >= 3) << i;
  }
  EXPECT_FALSE(exists_no_follow(history(id_for(99) + ".json")));
  EXPECT_EQ(sorted_entries(history()).size(), 53u);  // the fifty and the three others
  EXPECT_EQ(diagnostics, "Purging malformed history manifest " + history("broken.json") +
                             ": invalid type: number, expected a string\n");
}

}  // namespace
}  // namespace orvc::removal
