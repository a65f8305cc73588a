#include "cli/runtime.hpp"

#include <oneapi/tbb/global_control.h>
#include <oneapi/tbb/task_arena.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "cli/console.hpp"
#include "cli/flows.hpp"
#include "cli/stop_signals.hpp"
#include "util/diagnostics.hpp"

namespace orvc::cli {

namespace {

// Parallel walks keep one descriptor open per folder level they are inside.
void raise_open_file_limit() {
  struct rlimit limit {};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
  const rlim_t wanted = std::min<rlim_t>(limit.rlim_max, 65536);
  if (limit.rlim_cur >= wanted) return;
  limit.rlim_cur = wanted;
  setrlimit(RLIMIT_NOFILE, &limit);
}

}  // namespace

int run_program(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);

  std::unique_ptr<tbb::global_control> stack_size;
  try {
    // Walks recurse once per folder level; workers get room for very deep trees.
    stack_size = std::make_unique<tbb::global_control>(tbb::global_control::thread_stack_size,
                                                       size_t{256} << 20);
  } catch (const std::exception&) {
    std::fputs("Failed building the Runtime\n", stderr);
    return 1;
  }
  raise_open_file_limit();
  install_stop_signals();
  set_diagnostic_sink([](std::string_view line) { print_error_line(line); });
  const int status = main_routine(args);
  std::fflush(stdout);
  return status;
}

}  // namespace orvc::cli
