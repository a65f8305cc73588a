#include "util/diagnostics.hpp"

#include <mutex>
#include <utility>

namespace orvc {
namespace {

std::mutex& sink_lock() {
  static std::mutex lock;
  return lock;
}

DiagnosticSink& installed_sink() {
  static DiagnosticSink sink;
  return sink;
}

}  // namespace

void set_diagnostic_sink(DiagnosticSink sink) {
  std::lock_guard hold(sink_lock());
  installed_sink() = std::move(sink);
}

void report_diagnostic(std::string_view line) {
  // One line at a time, so lines from several threads never interleave.
  std::lock_guard hold(sink_lock());
  if (installed_sink()) installed_sink()(line);
}

}  // namespace orvc
