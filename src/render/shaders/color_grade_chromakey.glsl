#version 330 core
// As color_grade_video, with a chroma key: c3 = (threshold, softness),
// c4 = (key U, key V).
in vec4 vColour;
in vec2 vTex[7];
uniform sampler2D s0, s1, s2;
uniform sampler3D s3, s4;
uniform vec4 c[32];
out vec4 fragColour;
vec3 g(vec3 x) { return x * 0.96875 + 0.015625; }
float KeyAlpha(float u, float v) {
  float d = abs((u - c[4].x) + (v - c[4].y)) * 0.5;
  return d - c[3].x >= 0.0 ? vColour.a : d * d * c[3].y * c[3].y * vColour.a;
}
void main() {
  float luma = texture(s0, vTex[0]).r;
  float u = texture(s1, vTex[0]).r;
  float v = texture(s2, vTex[0]).r;
  vec3 p = g(vec3(v, u, luma));
  vec3 colour = mix(texture(s3, p).rgb, texture(s4, p).rgb, c[0].x);
  fragColour = vec4(colour, KeyAlpha(u, v));
}
