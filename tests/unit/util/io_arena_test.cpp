#include "util/io_arena.hpp"

#include <gtest/gtest.h>
#include <oneapi/tbb/parallel_for.h>

#include <atomic>
#include <utility>
#include <vector>

#include "support/temp_home.hpp"
#include "util/cache_sample.hpp"

namespace orvc {
namespace {

TEST(IoArena, WidthIsSixteenPerProcessorWithinBounds) {
  const std::pair<std::optional<unsigned>, unsigned> cases[] = {
      {std::nullopt, 32}, {0, 16}, {1, 16}, {2, 32}, {4, 64}, {100, 64}};
  for (const auto& [processors, width] : cases) EXPECT_EQ(io_arena_width(processors), width);
}

TEST(CacheProbe, ColdOnceASteadyShareOfCallsIsSlow) {
  struct Step {
    uint64_t calls;
    uint64_t slow;
    bool cold_after;
  };
  const std::vector<std::pair<const char*, std::vector<Step>>> runs = {
      // 203 slow in 2000: under one in 8.
      {"few slow among many", {{1000, 3, false}, {1000, 200, false}}},
      {"a steady share, and once cold the walk stays wide",
       {{64, 6, false}, {64, 14, true}, {100000, 0, true}}},
      {"the first calls alone do not decide", {{16, 16, false}, {48, 0, true}}},
  };
  for (const auto& [what, steps] : runs) {
    SCOPED_TRACE(what);
    CacheProbe probe;
    for (const Step& step : steps) {
      probe.add(step.calls, step.slow);
      EXPECT_EQ(probe.cold(), step.cold_after) << step.calls << " calls, " << step.slow << " slow";
    }
  }
  // A cold stretch after a long warm one is noticed.
  CacheProbe probe;
  for (int i = 0; i < 100; ++i) probe.add(1000, 0);
  for (int i = 0; i < 10 && !probe.cold(); ++i) probe.add(100, 50);
  EXPECT_TRUE(probe.cold());
}

TEST(RunWideWhenCold, StaysOnTheCallersArenaWhileWarmAndMovesNestedWorkOnceCold) {
  CacheProbe probe;
  EXPECT_FALSE(run_wide_when_cold(probe, false, [](bool wide_now) {
    EXPECT_NE(tbb::this_task_arena::max_concurrency(), io_arena().max_concurrency());
    return wide_now;
  }));
  probe.add(64, 32);
  std::atomic<int> ran{0};
  EXPECT_TRUE(run_wide_when_cold(probe, false, [&](bool wide_now) {
    EXPECT_EQ(tbb::this_task_arena::max_concurrency(), io_arena().max_concurrency());
    EXPECT_GE(tbb::this_task_arena::max_concurrency(), 16);
    tbb::parallel_for(0, 100, [&](int) { ++ran; });
    return wide_now;
  }));
  EXPECT_EQ(ran.load(), 100);
}

TEST(CacheSample, AFreshlyWrittenTreeIsWarmAndKeepsTheGivenArena) {
  testing::TempDir dir;
  for (int i = 0; i < 40; ++i) {
    testing::write_sized_file(dir / ("sub" + std::to_string(i % 4) + "/" + std::to_string(i)), 10);
  }
  tbb::task_arena warm(2);
  EXPECT_EQ(&arena_for_walk(dir.path(), warm), &warm);
}

}  // namespace
}  // namespace orvc
