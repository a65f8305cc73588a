#include <type_traits>

#include "cli/console.hpp"
#include "cli/flows.hpp"

namespace orvc::cli {

int main_routine(const std::vector<std::string>& args) {
  auto command = parse_command(args);
  if (!command) {
    std::string line = red("Error:") + " " + command.error() + "\n";
    print_error_line(line);
    print_help();
    return 1;
  }
  return std::visit(
      [](const auto& c) -> int {
        using T = std::decay_t<decltype(c)>;
        if constexpr (std::is_same_v<T, Help>) {
          print_help();
          return 0;
        } else if constexpr (std::is_same_v<T, Scan>) {
          return run_scan(c);
        } else if constexpr (std::is_same_v<T, Duplicates>) {
          return run_duplicates(c);
        } else if constexpr (std::is_same_v<T, Diff>) {
          return run_diff(c);
        } else if constexpr (std::is_same_v<T, LargeFiles>) {
          return run_large_files(c);
        } else if constexpr (std::is_same_v<T, DevJunk>) {
          return run_dev_junk(c);
        } else {
          return run_delete(c);
        }
      },
      *command);
}

}  // namespace orvc::cli
