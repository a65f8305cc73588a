#pragma once

namespace orvc::cli {

// Starts the runtime (the data-parallel pool), runs the main routine and returns its status.
int run_program(int argc, char** argv);

}  // namespace orvc::cli
