// New GUID texts.
#pragma once

#include <string>

namespace viv {

// A random (version 4) GUID in upper-case hexadecimal with its hyphens, without
// braces: "3F2504E0-4F89-41D3-9A0C-0305E82C3301".
std::string NewGuidText();

}  // namespace viv
