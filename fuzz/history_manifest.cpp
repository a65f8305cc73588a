// The history manifest: reading any text never crashes, and a manifest it accepts is written
// out and read back unchanged.
#include "fuzz_input.hpp"
#include "removal/history_json.hpp"

using namespace orvc::removal;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto session = parse_session(orvc::fuzz::as_text(data, size));
  if (!session) {
    ORVC_FUZZ_CHECK(!session.error().empty());
    return 0;
  }
  const auto written = session_to_json(*session);
  ORVC_FUZZ_CHECK(written.has_value());
  const auto again = parse_session(*written);
  ORVC_FUZZ_CHECK(again && *again == *session);
  ORVC_FUZZ_CHECK(session_to_json(*again) == written);
  return 0;
}
