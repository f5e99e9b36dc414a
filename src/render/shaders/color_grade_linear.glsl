#version 330 core
// A picture through two 256-entry curves on stages 1 and 2 (each read on its
// diagonal, channel by channel), mixed by c0.x.
in vec4 vColour;
in vec2 vTex[7];
uniform sampler2D s0, s1, s2;
uniform vec4 c[32];
out vec4 fragColour;
// The centres of the first and last of 256 texels.
float h(float x) { return x * 0.99609375 + 0.001953125; }
void main() {
  vec4 picture = texture(s0, vTex[0]);
  vec3 colour = picture.rgb * vColour.rgb;
  vec3 low, high;
  for (int k = 0; k < 3; ++k) {
    float at = h(colour[k]);
    low[k] = texture(s1, vec2(at, at))[k];
    high[k] = texture(s2, vec2(at, at))[k];
  }
  fragColour = vec4(mix(low, high, c[0].x), picture.a * vColour.a);
}
