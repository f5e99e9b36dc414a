# Writes the GLSL files of SHADER_DIR into OUTPUT as C++ string constants,
# with a lookup by name (the file name without ".glsl").
file(GLOB SHADERS ${SHADER_DIR}/*.glsl)
set(body "")
set(table "")
foreach(path ${SHADERS})
  get_filename_component(name ${path} NAME_WE)
  file(READ ${path} code)
  string(MAKE_C_IDENTIFIER ${name} id)
  string(APPEND body "constexpr std::string_view k_${id} = R\"glsl(${code})glsl\";\n")
  string(APPEND table "    {\"${name}\", k_${id}},\n")
endforeach()
file(WRITE ${OUTPUT}.tmp
"// Made from src/render/shaders/*.glsl by embed_shaders.cmake; do not edit.
#include \"render/shaders/pixel_shaders.h\"

namespace viv {
namespace {

${body}
struct TEntry {
  std::string_view Name, Code;
};
constexpr TEntry kShaders[] = {
${table}};

}  // namespace

std::string_view PixelShaderSource(std::string_view name) {
  for (const TEntry& entry : kShaders)
    if (entry.Name == name) return entry.Code;
  return {};
}

std::vector<std::string_view> PixelShaderNames() {
  std::vector<std::string_view> names;
  for (const TEntry& entry : kShaders) names.push_back(entry.Name);
  return names;
}

}  // namespace viv
")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)
