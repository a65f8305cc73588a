#include "safety/resolved_home.hpp"

#include <atomic>

#include "platform/home.hpp"
#include "safety/path_rules.hpp"

namespace orvc::safety {
namespace {

std::atomic<const HomePin*> current_pin{nullptr};

}  // namespace

std::optional<std::string> resolved_home(const std::string& normalised_home) {
  if (const HomePin* pin = current_pin.load(std::memory_order_acquire)) {
    if (pin->home_ == normalised_home) return pin->resolved_;
  }
  return canonicalize(normalised_home);
}

HomePin::HomePin() {
  const auto home = home_env();
  if (!home) return;
  home_ = normalize_lexically(*home);
  resolved_ = canonicalize(home_);
  current_pin.store(this, std::memory_order_release);
}

HomePin::~HomePin() {
  const HomePin* self = this;
  current_pin.compare_exchange_strong(self, nullptr, std::memory_order_acq_rel);
}

}  // namespace orvc::safety
