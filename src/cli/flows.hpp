#pragma once
// One flow per command: each runs its scan as a blocking job, prints the report and returns
// the exit status (0 or 1).
#include <cstdint>
#include <string>
#include <vector>

#include "cli/command.hpp"

namespace orvc::cli {

int run_scan(const Scan& command);
int run_duplicates(const Duplicates& command);
int run_diff(const Diff& command);
int run_large_files(const LargeFiles& command);
int run_dev_junk(const DevJunk& command);
int run_delete(const Delete& command);

// The main routine: parses the arguments (without the program name) and runs one flow.
int main_routine(const std::vector<std::string>& args);

}  // namespace orvc::cli
