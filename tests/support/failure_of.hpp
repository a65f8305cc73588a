#pragma once
// The failure a result holds. A result that succeeded gives an empty failure, which no expected
// text equals: the check fails instead of reading a failure that is not there.
#include <type_traits>

namespace orvc::testing {

template <typename Result>
auto failure_of(const Result& result) -> std::decay_t<decltype(result.error())> {
  if (result) return {};
  return result.error();
}

}  // namespace orvc::testing
