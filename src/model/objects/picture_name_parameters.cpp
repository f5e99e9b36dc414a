#include "model/objects/picture_name_parameters.h"

#include "project/ini_tree.h"

namespace viv {

std::string ParameterPictureName(std::string_view prefix,
                                 const std::vector<std::pair<std::string, std::string>>& keys) {
  TIniFile document;
  for (const auto& [key, value] : keys) document.WriteText(key, value);
  return std::string(prefix) + document.SaveToEscaped();
}

}  // namespace viv
