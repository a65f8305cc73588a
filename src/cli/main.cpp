#include "cli/runtime.hpp"

int main(int argc, char** argv) {
  return orvc::cli::run_program(argc, argv);
}
