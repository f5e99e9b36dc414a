#version 330 core
// A luma plane as a mask: video range to full range, inverted when c0.x is 1.
in vec4 vColour;
in vec2 vTex[7];
uniform sampler2D s0;
uniform vec4 c[32];
out vec4 fragColour;
void main() {
  float luma = texture(s0, vTex[0]).r;
  float l = (luma - 0.0625) * 1.164384;
  float invert = c[0].x;
  float m = (1.0 - 2.0 * invert) * l + invert;
  fragColour = vec4(m, m, m, m * vColour.a);
}
