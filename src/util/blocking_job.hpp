#pragma once
// Runs a blocking job on a thread of its own and waits for it. The thread gets a large stack,
// since walks of deep trees recurse. A job that throws becomes a failure text.
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <type_traits>

#include "util/expected.hpp"

namespace orvc {

// Starts `body` on a new thread and joins it; fails when no thread can be started.
Status run_on_job_thread(const std::function<void()>& body);

template <typename F>
auto run_blocking(F&& job) -> Result<std::invoke_result_t<F>> {
  using T = std::invoke_result_t<F>;
  std::optional<std::conditional_t<std::is_void_v<T>, bool, T>> value;
  std::string error;
  auto started = run_on_job_thread([&] {
    try {
      if constexpr (std::is_void_v<T>) {
        job();
        value = true;
      } else {
        value.emplace(job());
      }
    } catch (const std::exception& e) {
      error = e.what();
    } catch (...) {
      error = "unknown failure";
    }
  });
  if (!started) return failure(started.error());
  if (!value) return failure(error);
  if constexpr (std::is_void_v<T>) {
    return {};
  } else {
    return std::move(*value);
  }
}

}  // namespace orvc
