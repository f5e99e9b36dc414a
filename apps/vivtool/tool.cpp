#include "tool.h"

#include <cstdio>
#include <iostream>

namespace viv::tool {

void PrintJson(const TJson& json) { std::cout << json.dump(2) << std::endl; }

int Fail(const std::string& text) {
  std::cerr << text << std::endl;
  return kExitFailure;
}

std::string ColourText(uint32_t colour) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", colour);
  return text;
}

}  // namespace viv::tool
