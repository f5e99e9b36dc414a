#version 330 core
// Unsharp mask: c0 = (1 / width, 1 / height), c1.x = threshold, c2.x = amount.
in vec4 vColour;
in vec2 vTex[7];
uniform sampler2D s0;
uniform vec4 c[32];
out vec4 fragColour;
vec4 At(float dx, float dy) { return texture(s0, vTex[0] + vec2(dx, dy) * c[0].xy); }
void main() {
  vec4 centre = At(0.0, 0.0);
  vec4 edges = At(-1.0, 0.0) + At(1.0, 0.0) + At(0.0, -1.0) + At(0.0, 1.0);
  vec4 corners = At(-1.0, -1.0) + At(1.0, -1.0) + At(-1.0, 1.0) + At(1.0, 1.0);
  vec3 blur = (4.0 * centre.rgb + 2.0 * edges.rgb + corners.rgb) / 16.0;
  vec3 diff = centre.rgb - blur;
  vec3 sharp = centre.rgb + diff * c[2].x;
  vec3 keep = step(vec3(c[1].x), abs(diff));  // 1 where abs(diff) - threshold >= 0
  fragColour = vec4(mix(centre.rgb, sharp, keep), centre.a);
}
