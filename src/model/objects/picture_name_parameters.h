// Names of generated pictures that carry their parameters: a prefix ("Text: ",
// "Button: ") and the parameters as an escaped one-line document, which the
// producer of that prefix reads back.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace viv {

std::string ParameterPictureName(std::string_view prefix,
                                 const std::vector<std::pair<std::string, std::string>>& keys);

}  // namespace viv
