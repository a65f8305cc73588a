// The command line: any argument list yields a Command or one non-empty message.
#include <cstdlib>
#include <string>
#include <variant>
#include <vector>

#include "cli/command.hpp"
#include "fuzz_input.hpp"

using namespace orvc::cli;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // "~" expands against this; the parser never touches the folder itself.
  setenv("HOME", "/home/fuzz", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Arguments are separated by NUL bytes, as the kernel hands them to main.
  std::vector<std::string> args;
  if (size > 0) {
    std::string_view rest = orvc::fuzz::as_text(data, size);
    for (size_t end; (end = rest.find('\0')) != std::string_view::npos;
         rest.remove_prefix(end + 1)) {
      args.emplace_back(rest.substr(0, end));
    }
    args.emplace_back(rest);
  }
  const auto command = parse_command(args);
  if (!command) {
    ORVC_FUZZ_CHECK(!command.error().empty());
    ORVC_FUZZ_CHECK(!args.empty());
    return 0;
  }
  if (const auto* remove = std::get_if<Delete>(&*command)) {
    // Every argument after the command's name is a path, but for one leading --json; output
    // flags may stand before the name.
    size_t name = 0;
    OutputOptions leading;
    while (name < args.size() && read_output_flag(args[name], leading)) ++name;
    const size_t json = remove->format == ReportFormat::Json ? 1 : 0;
    ORVC_FUZZ_CHECK(remove->paths.size() + name + 1 + json == args.size());
  }
  if (args.empty()) ORVC_FUZZ_CHECK(std::holds_alternative<Help>(*command));
  return 0;
}
