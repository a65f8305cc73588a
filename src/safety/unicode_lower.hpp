#pragma once
// Full Unicode lower-casing, with the context rules of final sigma and dotted capital I; the
// user's protected list compares its entries and each candidate path in this form.
#include <string>

namespace orvc::safety {

std::string unicode_lower(const std::string& text);

}  // namespace orvc::safety
