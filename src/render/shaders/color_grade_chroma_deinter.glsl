#version 330 core
// The field luma of color_grade_deinter with the key of color_grade_chromakey.
in vec4 vColour;
in vec2 vTex[7];
uniform sampler2D s0, s1, s2;
uniform sampler3D s3, s4;
uniform vec4 c[32];
out vec4 fragColour;
vec3 g(vec3 x) { return x * 0.96875 + 0.015625; }
float FieldLuma(vec2 uv) {
  float y = uv.y * c[1].x + c[2].y;
  float k = floor(y / 2.0);
  float lineA = 2.0 * k + c[2].x + 2.5;
  float lineB = 2.0 * k + 0.5 + c[2].x;
  float f = (y - (2.0 * k + 0.5)) / 2.0;
  float a = texture(s0, vec2(uv.x, lineA * c[1].y)).r;
  float b = texture(s0, vec2(uv.x, lineB * c[1].y)).r;
  return f * a + (1.0 - f) * b;
}
float KeyAlpha(float u, float v) {
  float d = abs((u - c[4].x) + (v - c[4].y)) * 0.5;
  return d - c[3].x >= 0.0 ? vColour.a : d * d * c[3].y * c[3].y * vColour.a;
}
void main() {
  float luma = FieldLuma(vTex[0]);
  float u = texture(s1, vTex[0]).r;
  float v = texture(s2, vTex[0]).r;
  vec3 p = g(vec3(v, u, luma));
  vec3 colour = mix(texture(s3, p).rgb, texture(s4, p).rgb, c[0].x);
  fragColour = vec4(colour, KeyAlpha(u, v));
}
