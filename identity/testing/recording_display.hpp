#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "identity/identity_display.hpp"

namespace tornak::testing {

// Keeps the captions the probe set, the order it set them in, and the warnings it showed.
class RecordingDisplay final : public IdentityDisplay {
 public:
  std::map<DisplayField, Text> fields;
  std::vector<std::string> order;
  std::vector<Text> warnings;
  std::function<void()> onWarning;  // runs while the box would be up

  void SetFieldText(DisplayField field, const Text& text) override {
    fields[field] = text;
    order.emplace_back(ControlName(field));
  }
  void ShowWarning(const Text& text) override {
    warnings.push_back(text);
    order.emplace_back("warning");
    if (onWarning) onWarning();
  }

  Text operator[](DisplayField field) const {
    const auto found = fields.find(field);
    return found == fields.end() ? Text{} : found->second;
  }
};

}  // namespace tornak::testing
