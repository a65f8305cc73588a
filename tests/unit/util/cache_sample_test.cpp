#include "util/cache_sample.hpp"

#include <gtest/gtest.h>

#include "support/temp_home.hpp"

namespace orvc {
namespace {

using orvc::testing::TempDir;

TEST(CacheSample, AFreshlyWrittenTreeIsWarmAndKeepsTheGivenArena) {
  TempDir dir;
  for (int i = 0; i < 40; ++i) {
    testing::write_sized_file(dir / ("sub" + std::to_string(i % 4) + "/" + std::to_string(i)), 10);
  }
  tbb::task_arena warm(2);
  EXPECT_EQ(&arena_for_walk(dir.path(), warm), &warm);
}

TEST(CacheSample, AMissingRootSamplesNothing) {
  CacheProbe probe;
  sample_metadata_cost("/nonexistent/orvc-cache-sample", probe);
  EXPECT_FALSE(probe.cold());
}

}  // namespace
}  // namespace orvc
