#pragma once

#include <string>

namespace tornak {

// Display text: 16-bit characters, as the window shows them.
using Text = std::u16string;

}  // namespace tornak
