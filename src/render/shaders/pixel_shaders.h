// The drawer's pixel shaders, GLSL 330 embedded at build time. Each reads the
// vertex colour "vColour" and the coordinates "vTex[7]", samples "s0" to
// "s6", takes its constants from "c[32]" and writes "fragColour".
#pragma once

#include <string_view>
#include <vector>

namespace viv {

// The code of a shader by name ("unsharp", "premul3", ...); empty when unknown.
std::string_view PixelShaderSource(std::string_view name);
std::vector<std::string_view> PixelShaderNames();

}  // namespace viv
