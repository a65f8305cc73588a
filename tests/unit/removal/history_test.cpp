#include "removal/history.hpp"

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>

#include "removal/history_json.hpp"
#include "removal/history_prune.hpp"
#include "removal/session_id.hpp"
#include "removal_fixture.hpp"
#include "util/diagnostics.hpp"

namespace orvc::removal {
namespace {

using namespace orvc::testing;
using ::testing::HasSubstr;

CleanupSession sample_session() {
  CleanupSession session;
  session.session_id = "0b6f3c1e-2a4d-4c8e-9f10-1234567890ab";
  session.timestamp = "2024-05-01T09:30:00.123+00:00";
  session.unix_timestamp = 1714555800;
  session.cleanup_type = "cli_delete";
  session.deleted_files = {{"/Users/u/Café/a \"b\".zip", 10, "cli_delete", "a \"b\".zip"},
                           {"..", 0, "cli_delete", std::nullopt}};
  session.total_bytes_freed = 10;
  session.status = "completed";
  return session;
}

std::string manifest_with(int64_t unix_timestamp, const std::string& id) {
  CleanupSession session = sample_session();
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
  EXPECT_EQ(*session_to_json(sample_session()),
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
  EXPECT_EQ(*parse_session(*session_to_json(sample_session())), sample_session());
  CleanupSession empty = sample_session();
  empty.deleted_files.clear();
  EXPECT_THAT(*session_to_json(empty), HasSubstr("\"deleted_files\": [],\n"));
}

TEST(HistoryJson, RejectsDuplicateAndMissingMembers) {
  std::string text = *session_to_json(sample_session());
  const std::string without_status = text.substr(0, text.find(",\n  \"status\"")) + "\n}";
  EXPECT_EQ(parse_session(without_status).error(), "missing field `status`");

  const std::string doubled = "{\"status\": \"a\", " + text.substr(1);
  EXPECT_EQ(parse_session(doubled).error(), "duplicate field `status`");

  const std::string nested_doubled =
      R"({"session_id":"x","timestamp":"t","unix_timestamp":1,"cleanup_type":"c",)"
      R"("deleted_files":[{"original_path":"a","original_path":"b","size":1,"category":"c"}],)"
      R"("total_bytes_freed":1,"status":"completed"})";
  EXPECT_EQ(parse_session(nested_doubled).error(), "duplicate field `original_path`");

  const std::string no_trashed_name =
      R"({"session_id":"x","timestamp":"t","unix_timestamp":-5,"cleanup_type":"c","extra":[1],)"
      R"("deleted_files":[{"original_path":"a","size":1,"category":"c"}],)"
      R"("total_bytes_freed":1,"status":"completed"})";
  const auto parsed = parse_session(no_trashed_name);
  ASSERT_TRUE(parsed) << parsed.error();
  EXPECT_EQ(parsed->deleted_files.at(0).trashed_name, std::nullopt);
  EXPECT_EQ(parsed->unix_timestamp, -5);
}

TEST(SessionId, MakesVersionFourIdsAndReadsBothTextForms) {
  const std::string id = new_uuid_v4();
  EXPECT_THAT(id, ::testing::MatchesRegex("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-"
                                          "[0-9a-f]{12}"));
  EXPECT_NE(id, new_uuid_v4());
  EXPECT_EQ(canonical_uuid("0B6F3C1E2A4D4C8E9F101234567890AB"),
            "0b6f3c1e-2a4d-4c8e-9f10-1234567890ab");
  for (const char* bad :
       {"0b6f3c1e-2a4d-4c8e-9f10-1234567890a", "0b6f3c1e-2a4d-4c8e-9f10_1234567890ab",
        "zb6f3c1e2a4d4c8e9f101234567890ab"}) {
    EXPECT_EQ(canonical_uuid(bad), std::nullopt) << bad;
  }
}

TEST(SessionId, WritesFractionsWithTheFewestExactDigits) {
  using namespace std::chrono;
  const system_clock::time_point base{seconds(1714555800)};
  EXPECT_EQ(rfc3339_utc(base), "2024-05-01T09:30:00+00:00");
  EXPECT_EQ(rfc3339_utc(base + milliseconds(120)), "2024-05-01T09:30:00.120+00:00");
  EXPECT_EQ(rfc3339_utc(base + microseconds(5)), "2024-05-01T09:30:00.000005+00:00");
  EXPECT_EQ(rfc3339_utc(base + nanoseconds(123456789)), "2024-05-01T09:30:00.123456789+00:00");
}

class HistoryStoreTest : public testing::RemovalTest {};

TEST_F(HistoryStoreTest, WritesPrivateManifestsAtomically) {
  CleanupSession session =
      new_session("cli_delete", {{"/a", 7, "cli_delete", "a"}, {"/b", 8, "cli_delete", "b"}});
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

TEST_F(HistoryStoreTest, PrunesByAgeAndLeavesOtherFilesAlone) {
  testing::make_dirs(history());
  const int64_t cutoff = now_seconds() - 604800;
  write_file(history(id_for(1) + ".json"), manifest_with(cutoff + 30, id_for(1)));
  write_file(history(id_for(2) + ".json"), manifest_with(cutoff - 30, id_for(2)));
  write_file(history("broken.json"), "{\"session_id\": 1}");
  write_file(history("notes.JSON"), "{}");
  write_file(history("a.tmp"), "{}");
  write_file(history(".json"), "{}");

  std::string diagnostics;
  set_diagnostic_sink([&](std::string_view line) { (diagnostics += line) += '\n'; });
  const auto removed = prune_history();
  set_diagnostic_sink({});

  EXPECT_EQ(removed, 2u);
  EXPECT_TRUE(exists_no_follow(history(id_for(1) + ".json")));
  EXPECT_FALSE(exists_no_follow(history(id_for(2) + ".json")));
  EXPECT_FALSE(exists_no_follow(history("broken.json")));
  EXPECT_TRUE(exists_no_follow(history("notes.JSON")));
  EXPECT_TRUE(exists_no_follow(history("a.tmp")));
  EXPECT_TRUE(exists_no_follow(history(".json")));
  EXPECT_EQ(diagnostics, "Purging malformed history manifest " + history("broken.json") +
                             ": invalid type: number, expected a string\n");
}

TEST_F(HistoryStoreTest, KeepsTheFiftyNewest) {
  testing::make_dirs(history());
  const int64_t now = now_seconds();
  for (int i = 0; i < 55; ++i) {
    write_file(history(id_for(i) + ".json"), manifest_with(now - 1000 + i, id_for(i)));
  }
  EXPECT_EQ(prune_history(), 5u);
  for (int i = 0; i < 55; ++i) {
    EXPECT_EQ(exists_no_follow(history(id_for(i) + ".json")), i >= 5) << i;
  }
}

TEST_F(HistoryStoreTest, WithoutHomeEveryCallFailsAndNothingIsCreated) {
  for (const std::optional<std::string>& value :
       {std::optional<std::string>(), std::optional<std::string>("")}) {
    testing::ScopedEnv no_home("HOME", value);
    EXPECT_EQ(history_dir().error(), "HOME not set");
    EXPECT_EQ(write_session(new_session("cli_delete", {})).error(), "HOME not set");
    EXPECT_EQ(delete_session(new_uuid_v4()).error(), "HOME not set");
    EXPECT_EQ(prune_history().error(), "HOME not set");
  }
  EXPECT_FALSE(exists_no_follow(home("Library")));
  EXPECT_FALSE(exists_no_follow("Library/Application Support/com.orvanta.app"));
}

}  // namespace
}  // namespace orvc::removal
