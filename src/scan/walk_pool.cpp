#include "scan/walk_pool.hpp"

#include <algorithm>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/platform.hpp"

namespace orvc::scan {

unsigned walk_pool_size(std::optional<unsigned> online_processors) {
  if (!online_processors) return 3;
  const unsigned wanted = *online_processors == 0 ? 0 : *online_processors - 1;
  return std::clamp(wanted, 2u, 65535u);
}

tbb::task_arena& walk_pool() {
  static tbb::task_arena* const pool = [] {
    try {
      auto arena = std::make_unique<tbb::task_arena>(
          static_cast<int>(walk_pool_size(platform::online_processors())));
      arena->initialize();
      return arena.release();
    } catch (const std::exception& e) {
      throw std::runtime_error(std::string("Failed to build scan thread pool: ") + e.what());
    }
  }();
  return *pool;
}

}  // namespace orvc::scan
