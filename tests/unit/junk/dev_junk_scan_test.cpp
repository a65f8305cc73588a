#include "junk/dev_junk_scan.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <optional>

#include "junk/catalogue.hpp"
#include "junk/docker.hpp"
#include "junk_fixture.hpp"
#include "support/temp_home.hpp"

namespace orvc::junk {
namespace {

using namespace orvc::testing;

constexpr uint64_t kMiB = 1 << 20;

// Points HOME at a fixture and PATH at a folder of fake tools for one test, then restores both.
class ScanEnvironment : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"HOME", "PATH"}) {
      const char* value = std::getenv(name);
      saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
    setenv("HOME", home_.path().c_str(), 1);
    setenv("PATH", tools_.path().c_str(), 1);
  }
  void TearDown() override {
    for (const auto& [name, value] : saved_) {
      if (value) {
        setenv(name.c_str(), value->c_str(), 1);
      } else {
        unsetenv(name.c_str());
      }
    }
  }

  void fake_pgrep(const std::string& body) {
    write_file(tools_ / "pgrep", "#!/bin/sh\n" + body);
    ASSERT_EQ(chmod((tools_ / "pgrep").c_str(), 0755), 0);
  }

  std::string at(const std::string& relative) const { return home_ / relative; }

  static const JunkCategory* find(const std::vector<JunkCategory>& categories,
                                  std::string_view name) {
    for (const auto& c : categories) {
      if (c.name == name) return &c;
    }
    return nullptr;
  }

  TempDir home_;
  TempDir tools_;
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(ScanEnvironment, DockerRunningNoteGoesOnVirtualDisksOnly) {
  const std::string vms = "Library/Containers/com.docker.docker/Data/vms/";
  allocate_file(at(vms + "0/Docker.raw"), 2 * kMiB);
  allocate_file(at(vms + "1/data/Docker.raw"), kMiB);
  allocate_file(at("Library/Containers/com.docker.docker/Data/log/host.log"), 4096);

  fake_pgrep("echo 4242\n");
  EXPECT_TRUE(is_docker_running());
  auto running = scan_dev_junk();
  ASSERT_TRUE(running);
  const JunkCategory* docker = find(*running, "Docker");
  ASSERT_TRUE(docker);
  ASSERT_EQ(docker->items.size(), 3u);
  const std::string disk = std::string(DOCKER_DISK_DESCRIPTION) + std::string(DOCKER_RUNNING_NOTE);
  EXPECT_EQ(docker->items[0].description, disk);
  EXPECT_EQ(docker->items[1].description, disk);
  EXPECT_FALSE(docker->items[0].safe);
  EXPECT_EQ(docker->items[2].description, "Docker Desktop logs");
  EXPECT_EQ(DOCKER_RUNNING_NOTE,
            " — Docker is running; quit Docker Desktop first so this file isn't locked");

  fake_pgrep("exit 0\n");  // success without output is not enough
  EXPECT_FALSE(is_docker_running());
  ASSERT_EQ(unlink((tools_ / "pgrep").c_str()), 0);
  EXPECT_FALSE(is_docker_running());
  auto stopped = scan_dev_junk();
  ASSERT_TRUE(stopped);
  EXPECT_EQ(find(*stopped, "Docker")->items[0].description, DOCKER_DISK_DESCRIPTION);
}

TEST_F(ScanEnvironment, MissingHomeIsTheOnlyFailure) {
  fake_pgrep("touch '" + (tools_ / "called") + "'\necho 1\n");
  unsetenv("HOME");
  const auto result = scan_dev_junk();
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error(), "HOME environment variable is not set");
  EXPECT_FALSE(exists_no_follow(tools_ / "called"));

  setenv("HOME", (home_ / "does-not-exist").c_str(), 1);
  const auto empty = scan_dev_junk();
  ASSERT_TRUE(empty);
  EXPECT_TRUE(empty->empty());
}

TEST_F(ScanEnvironment, ThresholdsNamesAndDescriptions) {
  write_file(at("Projects/web/package.json"), "{}");
  allocate_file(at("Projects/web/node_modules/a"), 50 * kMiB);
  allocate_file(at("Projects/gone/node_modules/a"), 51 * kMiB);
  write_file(at("Projects/tiny/package.json"), "{}");
  allocate_file(at("Projects/tiny/node_modules/a"), 49 * kMiB);
  write_file(at("Projects/rs/Cargo.toml"), "");
  allocate_file(at("Projects/rs/target/a"), 20 * kMiB);
  write_file(at("Projects/rs-small/Cargo.toml"), "");
  allocate_file(at("Projects/rs-small/target/a"), 19 * kMiB);
  write_file(at("Projects/py/requirements.txt"), "");
  write_file(at("Projects/py/.venv/pyvenv.cfg"), "");
  allocate_file(at("Projects/py/.venv/lib"), 21 * kMiB);

  const auto result = scan_dev_junk();
  ASSERT_TRUE(result);
  ASSERT_EQ(result->size(), 2u);
  const JunkCategory& node = (*result)[0];
  EXPECT_EQ(node.name, "Node.js");
  ASSERT_EQ(node.items.size(), 2u);
  EXPECT_EQ(node.items[0].description, "Orphaned node_modules (no package.json beside \"gone\")");
  EXPECT_EQ(node.items[1].description, "node_modules in \"web\" — reinstallable with npm install");
  EXPECT_EQ(node.items[1].name, "node_modules");
  EXPECT_EQ(node.items[1].size_bytes, file_usage(at("Projects/web/node_modules")));
  EXPECT_EQ(node.total_bytes, node.items[0].size_bytes + node.items[1].size_bytes);

  const JunkCategory& build = (*result)[1];
  EXPECT_EQ(build.name, "Build Artifacts");
  ASSERT_EQ(build.items.size(), 2u);
  EXPECT_EQ(build.items[0].name, "py/.venv");
  EXPECT_EQ(build.items[0].description,
            "Python virtualenv build output — fully regenerated by `python -m venv .venv && pip "
            "install -r requirements.txt`");
  EXPECT_FALSE(build.items[0].safe);
  EXPECT_EQ(build.items[1].name, "rs/target");
  EXPECT_EQ(build.items[1].description,
            "Rust/Cargo build output — fully regenerated by `cargo build`");
  EXPECT_TRUE(build.items[1].safe);
  EXPECT_EQ(build.items[1].size_bytes, 20 * kMiB);
}

TEST_F(ScanEnvironment, EqualSizesKeepCatalogueAndDiscoveryOrder) {
  allocate_file(at("Library/Developer/CoreSimulator/Caches/a"), kMiB);
  allocate_file(at("Library/Caches/pip/a"), kMiB / 2);
  allocate_file(at(".pip/cache/a"), kMiB / 2);
  const auto result = scan_dev_junk();
  ASSERT_TRUE(result);
  ASSERT_EQ(result->size(), 2u);
  EXPECT_EQ((*result)[0].name, "Xcode");
  EXPECT_EQ((*result)[1].name, "Python");
  EXPECT_EQ((*result)[1].items[0].path, at("Library/Caches/pip"));
  EXPECT_EQ((*result)[1].items[1].path, at(".pip/cache"));
}

}  // namespace
}  // namespace orvc::junk
