#pragma once
// "A value or one failure text": the error currency of the whole system.
#include <expected>
#include <string>

namespace orvc {

template <typename T>
using Result = std::expected<T, std::string>;

using Status = std::expected<void, std::string>;

inline std::unexpected<std::string> failure(std::string message) {
  return std::unexpected(std::move(message));
}

}  // namespace orvc

// Passes a failure up to the caller; otherwise yields the value. (g++ 12's std::expected has
// no monadic operations yet; this GNU statement expression stands in for them.)
#define ORVC_TRY(expr)                                             \
  __extension__({                                                  \
    auto&& orvc_try_result_ = (expr);                              \
    if (!orvc_try_result_) {                                       \
      return std::unexpected(std::move(orvc_try_result_).error()); \
    }                                                              \
    std::move(orvc_try_result_).value();                           \
  })
