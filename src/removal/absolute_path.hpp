#pragma once
// Absolute forms of a user-given path, for the Trash records and the Trash service.
#include <string>

#include "util/expected.hpp"

namespace orvc::removal {

// The path joined to the working directory when relative; its parent canonicalised (links
// resolved) and the file name appended again. A path without a file name becomes its canonical
// parent. Fails when there is no parent or it cannot be canonicalised.
Result<std::string> absolute_with_canonical_parent(const std::string& path);

// The path joined to the working directory when relative, nothing resolved.
std::string lexically_absolute(const std::string& path);

}  // namespace orvc::removal
