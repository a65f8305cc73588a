// The .trashinfo record: for any path and deletion time, the record has its three lines, the
// Path value holds only unreserved characters and %XX escapes, and decoding it gives back the
// path byte for byte (what a freedesktop.org Trash reader does to restore the item).
#include "removal/trash_info.hpp"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>

#include "fuzz_input.hpp"
#include "removal/trash_record.hpp"

using namespace orvc::removal;

namespace {

bool is_digits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// YYYY-MM-DDThh:mm:ss
bool is_deletion_date(std::string_view text) {
  return text.size() == 19 && is_digits(text.substr(0, 4)) && text[4] == '-' &&
         is_digits(text.substr(5, 2)) && text[7] == '-' && is_digits(text.substr(8, 2)) &&
         text[10] == 'T' && is_digits(text.substr(11, 2)) && text[13] == ':' &&
         is_digits(text.substr(14, 2)) && text[16] == ':' && is_digits(text.substr(17, 2));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("TZ", "UTC", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Eight bytes of deletion time, kept between 1970 and 9999 as a clock reads; then the path.
  if (size < 8) return 0;
  uint64_t raw = 0;
  std::memcpy(&raw, data, 8);
  const auto deletion_time = static_cast<std::time_t>(raw % 253402214400);
  const std::string_view path = orvc::fuzz::as_text(data + 8, size - 8);

  const std::string record = trash_info_text(path, deletion_time);
  constexpr std::string_view kHead = "[Trash Info]\nPath=";
  ORVC_FUZZ_CHECK(record.starts_with(kHead) && record.ends_with("\n"));
  const size_t path_end = record.find('\n', kHead.size());
  constexpr std::string_view kDate = "\nDeletionDate=";
  ORVC_FUZZ_CHECK(record.compare(path_end, kDate.size(), kDate) == 0);
  const std::string_view encoded =
      std::string_view(record).substr(kHead.size(), path_end - kHead.size());
  ORVC_FUZZ_CHECK(encoded == percent_encode_path(path));
  ORVC_FUZZ_CHECK(percent_decode(encoded) == std::string(path));
  // What the Trash lookup reads back is what was written.
  const auto parsed = parse_trash_record(record);
  ORVC_FUZZ_CHECK(!parsed || parsed->original_path == path);
  const size_t date_start = path_end + kDate.size();
  ORVC_FUZZ_CHECK(is_deletion_date(
      std::string_view(record).substr(date_start, record.size() - 1 - date_start)));
  return 0;
}
