#pragma once

#include <cstddef>

#include "identity/identity_display.hpp"

namespace tornak::bench {

// The window's side of a tick without the window: the text is made and counted, then dropped.
class DiscardingDisplay final : public IdentityDisplay {
 public:
  void SetFieldText(DisplayField, const Text& text) override { characters_ += text.size(); }
  void ShowWarning(const Text& text) override { characters_ += text.size(); }
  std::size_t Characters() const noexcept { return characters_; }

 private:
  std::size_t characters_ = 0;
};

}  // namespace tornak::bench
