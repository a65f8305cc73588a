#pragma once
// Lines a subsystem reports that never change an outcome (history upkeep, scan stages). The
// front end installs the one sink that writes them; subsystems never write to the console.
#include <functional>
#include <string_view>

namespace orvc {

using DiagnosticSink = std::function<void(std::string_view line)>;

// Installed once at start-up, before any work; without a sink, lines are dropped.
void set_diagnostic_sink(DiagnosticSink sink);

// Hands one line (without its line end) to the sink. Safe from any thread.
void report_diagnostic(std::string_view line);

}  // namespace orvc
