// --json end to end: every command's document validated against docs/schema (python3-jsonschema),
// holding the fixture's figures, with a non-UTF-8 name, failures and a removal with every
// outcome followed through history and restore.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "support/run_process.hpp"
#include "support/temp_home.hpp"
#include "support/trash_home.hpp"

namespace orvc::testing {
namespace {

using ::testing::HasSubstr;
using Json = nlohmann::json;

constexpr uint64_t kMiB = 1 << 20;

// `r.out` as one document: a single line of UTF-8 that validates against the command's schema.
Json checked_document(const ProcessResult& r, const std::string& schema) {
  EXPECT_EQ(r.out.find('\n'), r.out.size() - 1) << r.out;
  TempDir scratch;
  write_file(scratch / "document.json", r.out);
  ProcessOptions python;
  python.env = {{"PATH", "/usr/bin:/bin"}};  // Debian's python3, which has python3-jsonschema
  const auto check =
      run_program({"python3", ORVC_SOURCE_DIR "/tests/support/validate_json.py",
                   ORVC_SOURCE_DIR "/docs/schema", schema, scratch / "document.json"},
                  python);
  EXPECT_EQ(check.exit_code, 0) << schema << ":\n" << check.out << check.err << r.out;
  return Json::parse(r.out, nullptr, false);
}

class JsonReports : public ::testing::Test {
 protected:
  void SetUp() override {
    write_sized_file(home / "tree/big.bin", 2 * kMiB, 1);
    set_mtime(home / "tree/big.bin", 1700000000);
    for (const char* name : {"copy.bin", "repo/copy.bin", "bad\xff.bin"}) {
      write_sized_file(home / "tree" + "/" + name, kMiB, 2);
    }
    set_mtime(home / "tree/copy.bin", 1600000000);  // the oldest copy is the one kept
    make_dirs(home / "tree/repo/.git");
    write_file(home / "tree/small.txt", "hi");
    allocate_file(home / ".yarn/cache/pkg.zip", 2 * kMiB);   // safe junk
    allocate_file(home / ".conda/envs/e/lib.so", 1 * kMiB);  // risky junk
  }

  // The --json form of `args`, checked against the schema of their command.
  Json document(std::vector<std::string> args, int exit_code = 0) {
    args.push_back("--json");
    const auto r = run_orvc(args, home.path());
    EXPECT_EQ(r.exit_code, exit_code) << args[0] << r.err;
    return checked_document(r, args[0]);
  }

  TempDir home;
};

// Paths under "tree" are given relative to the home folder, where orvc runs; figures are looked
// up by JSON pointer. After the reports, what --apply adds to them: the executor's outcome for
// every item handed to it.
TEST_F(JsonReports, EveryReportValidatesAndHoldsTheFixturesFigures) {
  const std::pair<std::vector<std::string>, std::map<std::string, Json>> cases[] = {
      {{"scan", "--path", "tree"},  // the text leaves out small.txt
       {{"/total/size", 5 * kMiB + 2}, {"/entry_count", 5}, {"/entries/4/path", "tree/small.txt"}}},
      {{"duplicates", "--path", "tree"},
       {{"/reclaimable_bytes", 2 * kMiB},
        {"/groups/0/keep/path", "tree/copy.bin"},
        {"/groups/0/keep/modified", "2020-09-13T12:26:40+00:00"}}},
      {{"large-files", "--path", "tree", "--threshold", "1"},
       {{"/total_bytes", 5 * kMiB},
        {"/files/0/path", "tree/big.bin"},
        {"/files/0/modified", "2023-11-14T22:13:20+00:00"},
        {"/files/0/modified_unix", 1700000000},
        {"/options/threshold_bytes", kMiB}}},
      {{"dev-junk"},
       {{"/item_count", 2},
        {"/safe_bytes", 2 * kMiB},
        {"/categories/0/items/0/path", home / ".yarn/cache"},
        {"/categories/0/items/0/safe", true}}},
      {{"diff"},
       {{"/removed_count", 1},
        {"/removed_bytes", 2 * kMiB},
        {"/preserved/0/path", home / ".conda/envs"}}},
  };
  std::map<std::string, Json> documents;
  for (const auto& [args, figures] : cases) {
    SCOPED_TRACE(args.front());
    const Json& d = documents[args.front()] = document(args);
    for (const auto& [at, value] : figures) EXPECT_EQ(d[Json::json_pointer(at)], value) << at;
  }
  EXPECT_GE(documents["large-files"]["files"][0]["allocated"].get<uint64_t>(), 2 * kMiB);
  std::map<std::string, Json> copies;
  for (const Json& copy : documents["duplicates"]["groups"][0]["duplicates"])
    copies[copy["path"]] = copy;
  EXPECT_EQ(copies["tree/repo/copy.bin"]["git_tracked"], true);
  EXPECT_EQ(copies["tree/bad\uFFFD.bin"]["path_bytes"], "dHJlZS9iYWT/LmJpbg==");

  const Json cleaned = document({"dev-junk", "--apply"})["removal"];
  ASSERT_EQ(cleaned["items"].size(), 1u);  // the risky item is never handed over
  EXPECT_EQ(cleaned["items"][0]["path"], home / ".yarn/cache");
  EXPECT_EQ(cleaned["moved_count"], 1);
  EXPECT_FALSE(exists_no_follow(home / ".yarn/cache"));
  const Json moved = document({"large-files", "--path", "tree", "--threshold", "2", "--apply"});
  EXPECT_EQ(moved["removal"]["moved_bytes"], 2 * kMiB);
  EXPECT_FALSE(exists_no_follow(home / "tree/big.bin"));
  const Json deduplicated = document({"duplicates", "--path", "tree", "--apply"})["removal"];
  ASSERT_EQ(deduplicated["items"].size(), 1u);  // the tracked copy stays
  EXPECT_EQ(deduplicated["moved_bytes"], kMiB);
  EXPECT_TRUE(exists_no_follow(home / "tree/repo/copy.bin"));
}

TEST_F(JsonReports, RemovalShowsEveryOutcomeAndHistoryAndRestoreFollowIt) {
  write_file(home / "ok.txt", "12345");
  write_file(home / ".ssh/id_rsa", "secret");
  make_dirs(home / "d");
  const auto r = run_orvc(
      {"delete", "--json", "ok.txt", "./ok.txt", "gone.txt", ".ssh/id_rsa", "d/."}, home.path());
  EXPECT_EQ(r.exit_code, 1);
  const std::string message = "Cleaned with 1 issue(s). 1 item(s) could not be removed: '" +
                              home.path() + "/d/.': target has no file name";
  EXPECT_EQ(r.err, "  Some items could not be moved: " + message + "\n");
  const Json document = checked_document(r, "delete");
  EXPECT_EQ(document["error"], message);
  const Json& removal = document["removal"];
  std::vector<std::string> outcomes;
  for (const Json& item : removal["items"]) outcomes.push_back(item["outcome"]);
  EXPECT_EQ(outcomes,
            (std::vector<std::string>{"moved", "repeated", "missing", "protected", "failed"}));
  const Json& moved = removal["items"][0];
  EXPECT_EQ(moved["size"], 5);
  EXPECT_EQ(moved["original_path"], home / "ok.txt");
  EXPECT_EQ(read_file(moved["trash_path"]), "12345");
  EXPECT_EQ(removal["items"][3]["rule"]["kind"], "sensitive_path");
  EXPECT_EQ(removal["items"][4]["reason"], "target has no file name");
  EXPECT_EQ(removal["moved_bytes"], 5);
  const std::string id = removal["session_id"];
  EXPECT_EQ(sorted_entries(history_of(home.path())), std::vector<std::string>{id + ".json"});

  const Json history = this->document({"history"});
  ASSERT_EQ(history["run_count"], 1);
  const Json& run = history["runs"][0];
  EXPECT_EQ(run["session_id"], id);
  ASSERT_EQ(run["items"].size(), 1u);  // the record holds only what moved
  EXPECT_EQ(run["items"][0]["path"], home / "ok.txt");
  EXPECT_EQ(run["items"][0]["state"], "in_trash");
  EXPECT_EQ(run["items"][0]["trash_path"], moved["trash_path"]);

  EXPECT_EQ(this->document({"restore", "--dry-run", id.substr(0, 8)})["items"][0]["outcome"],
            "would_restore");
  const Json back = this->document({"restore", id});
  EXPECT_EQ(back["items"][0]["outcome"], "restored");
  EXPECT_EQ(back["restored_count"], 1);
  EXPECT_EQ(read_file(home / "ok.txt"), "12345");
}

// Failing runs keep their exit status and standard-error line; standard output still gets one
// document, never the help text.
TEST_F(JsonReports, FailuresAreDocumentsToo) {
  // The runs whose error is about HOME run with it empty.
  const std::pair<std::vector<std::string>, std::string> failures[] = {
      {{"scan", "--path", "none", "--json"},
       "Scan failed: Cannot access 'none': No such file or directory (os error 2)"},
      {{"large-files", "--json"}, "Large-files scan failed: HOME environment variable is not set"},
      {{"dev-junk", "--json"}, "Developer junk scan failed: HOME environment variable is not set"},
      {{"duplicates", "--json", "--bogus"}, "Error: Unknown flag: --bogus"},
      {{"restore", "--json", "--dry-run"},
       "Error: restore requires a run id or at least one path argument"},
  };
  for (const auto& [args, error] : failures) {
    SCOPED_TRACE(error);
    const std::string home_variable = error.find("HOME") == std::string::npos ? home.path() : "";
    const auto r = run_orvc(args, home.path(), {{"HOME", home_variable}});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out, "{\"schema\":\"orvc/1\",\"error\":" + Json(error).dump() + "}\n");
    EXPECT_THAT(r.err, HasSubstr(error.substr(error.find(':') + 2)));
    checked_document(r, args.front());
  }
}

}  // namespace
}  // namespace orvc::testing
