#version 330 core
// Luma, U and V planes through two 3D tables, mixed by c0.x.
in vec4 vColour;
in vec2 vTex[7];
uniform sampler2D s0, s1, s2;
uniform sampler3D s3, s4;
uniform vec4 c[32];
out vec4 fragColour;
// The centres of the first and last of 32 texels.
vec3 g(vec3 x) { return x * 0.96875 + 0.015625; }
void main() {
  float luma = texture(s0, vTex[0]).r;
  float u = texture(s1, vTex[0]).r;
  float v = texture(s2, vTex[0]).r;
  vec3 p = g(vec3(v, u, luma));
  vec3 colour = mix(texture(s3, p).rgb, texture(s4, p).rgb, c[0].x);
  fragColour = vec4(colour, vColour.a);
}
