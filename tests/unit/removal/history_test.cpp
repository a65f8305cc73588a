#include "removal/history.hpp"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <limits>

#include "removal/history_json.hpp"
#include "removal/history_layout.hpp"
#include "removal/history_prune.hpp"
#include "removal_fixture.hpp"
#include "support/failure_of.hpp"
#include "util/diagnostics.hpp"

namespace orvc::removal {
namespace {

using namespace orvc::testing;

CleanupSession sample(std::vector<DeletedFile> files = {{"/Users/u/Café/a \"b\".zip", 10,
                                                         "cli_delete", "a \"b\".zip"},
                                                        {"..", 0, "cli_delete", std::nullopt}},
                      int64_t unix_timestamp = 1714555800,
                      std::string id = "0b6f3c1e-2a4d-4c8e-9f10-1234567890ab") {
  const std::string timestamp = "2024-05-01T09:30:00.123+00:00";
  return {std::move(id),    timestamp, unix_timestamp, "cli_delete",
          std::move(files), 10,        "completed"};
}

TEST(HistoryJson, WritesThePrettyLayoutWithoutFinalNewline) {
  EXPECT_EQ(*session_to_json(sample()), R"({
  "session_id": "0b6f3c1e-2a4d-4c8e-9f10-1234567890ab",
  "timestamp": "2024-05-01T09:30:00.123+00:00",
  "unix_timestamp": 1714555800,
  "cleanup_type": "cli_delete",
  "deleted_files": [
    {
      "original_path": "/Users/u/Café/a \"b\".zip",
      "size": 10,
      "category": "cli_delete",
      "trashed_name": "a \"b\".zip"
    },
    {
      "original_path": "..",
      "size": 0,
      "category": "cli_delete",
      "trashed_name": null
    }
  ],
  "total_bytes_freed": 10,
  "status": "completed"
})");
}

// What the writer writes is read back below.
TEST(HistoryJson, RejectsDuplicateAndMissingMembers) {
  const std::string text = *session_to_json(sample());
  // One file record, `first` its first members; without a trashed_name.
  const auto with_file = [](const std::string& first) {
    return R"({"session_id":"x","timestamp":"t","unix_timestamp":-5,"cleanup_type":"c",)"
           R"("extra":[1],"deleted_files":[{)" +
           first +
           R"("original_path":"a","size":1,"category":"c"}],)"
           R"("total_bytes_freed":1,"status":"completed"})";
  };
  EXPECT_EQ(failure_of(parse_session(text.substr(0, text.find(",\n  \"status\"")) + "\n}")),
            "missing field `status`");
  EXPECT_EQ(failure_of(parse_session(with_file(R"("original_path":"b",)"))),
            "duplicate field `original_path`");
  const auto parsed = parse_session(with_file(""));
  ASSERT_TRUE(parsed) << parsed.error();
  EXPECT_EQ(parsed->deleted_files.at(0).trashed_name, std::nullopt);
}

// The fast reader of manifests reads what the writer writes as the JSON parser would, and
// leaves everything else to the parser.
TEST(HistoryLayout, ReadsOnlyTheWritersOwnLayoutAsTheJsonParserWould) {
  for (const CleanupSession& session :
       {sample({}), sample({}, -5),
        sample({{"/a", UINT64_MAX, "c", "n"}}, std::numeric_limits<int64_t>::max()),
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
  const std::tuple<const char*, std::string, bool> others[] = {
      // what, text, valid JSON
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
  EXPECT_EQ(parse_session(std::get<1>(others[0])), sample({{"/a \"q\"\\b\n", 1, "c", "n"}}));
}

class HistoryStoreTest : public testing::RemovalTest {};

TEST_F(HistoryStoreTest, WritesPrivateManifestsAtomically) {
  CleanupSession session = new_session(
      CleanupType::Delete, {{"/a", 7, "cli_delete", "a"}, {"/b", 8, "cli_delete", "b"}});
  EXPECT_EQ(std::tie(session.total_bytes_freed, session.status), std::tuple(15u, "completed"));
  EXPECT_LE(std::abs(session.unix_timestamp - std::time(nullptr)), 5);

  ASSERT_EQ(write_session(session), session.session_id);
  const std::string path = history(session.session_id + ".json");
  EXPECT_EQ(std::pair(metadata_of(history()).st_mode & 07777, metadata_of(path).st_mode & 07777),
            std::pair(0700u, 0600u));
  EXPECT_FALSE(exists_no_follow(history(session.session_id + ".tmp")));
  EXPECT_EQ(*parse_session(read_file(path)), session);

  session.status = "pending";
  ASSERT_TRUE(write_session(session));
  EXPECT_EQ(parse_session(read_file(path))->status, "pending");

  std::string upper = session.session_id;  // deleted by its id in either case
  std::ranges::transform(upper, upper.begin(), [](unsigned char c) { return std::toupper(c); });
  EXPECT_TRUE(delete_session(upper));
  EXPECT_FALSE(exists_no_follow(path));
  EXPECT_EQ(failure_of(delete_session("not-a-uuid")), "Invalid session id: not-a-uuid");
}

// Without HOME nothing is written or created: e2e/protection_gate_test.
TEST_F(HistoryStoreTest, PrunesByAgeThenToTheFiftyNewestAndLeavesOtherFilesAlone) {
  const auto id_for = [](int n) { return fmt::format("00000000-0000-4000-8000-{:012}", n); };
  const int64_t week_ago = std::time(nullptr) - 604800;
  const auto write_manifest = [&](int n, int64_t unix_timestamp) {
    write_file(history(id_for(n) + ".json"),
               *session_to_json(sample({}, unix_timestamp, id_for(n))));
  };
  for (int i = 0; i < 53; ++i) write_manifest(i, week_ago + 60 + i);
  write_manifest(99, week_ago - 30);
  write_file(history("broken.json"), "{\"session_id\": 1}");
  std::vector<std::string> kept = {".json", "a.tmp", "notes.JSON"};
  for (const auto& other : kept) write_file(history(other), "{}");

  std::string diagnostics;
  set_diagnostic_sink([&](std::string_view line) { (diagnostics += line) += '\n'; });
  EXPECT_EQ(prune_history(), 5u);
  set_diagnostic_sink({});
  // The three oldest of 53 and the one past the week go; the rest and other files stay.
  for (int i = 3; i < 53; ++i) kept.push_back(id_for(i) + ".json");
  std::ranges::sort(kept);
  EXPECT_EQ(sorted_entries(history()), kept);
  EXPECT_EQ(diagnostics, "Purging malformed history manifest " + history("broken.json") +
                             ": invalid type: number, expected a string\n");
}

}  // namespace
}  // namespace orvc::removal
