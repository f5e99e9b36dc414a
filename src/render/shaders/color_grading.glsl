#version 330 core
// A picture through two 3D tables on stages 1 and 2, mixed by c0.x.
in vec4 vColour;
in vec2 vTex[7];
uniform sampler2D s0;
uniform sampler3D s1, s2;
uniform vec4 c[32];
out vec4 fragColour;
vec3 g(vec3 x) { return x * 0.96875 + 0.015625; }
void main() {
  vec4 colour = texture(s0, vTex[0]) * vColour;
  vec3 p = g(colour.rgb);
  fragColour = vec4(mix(texture(s1, p).rgb, texture(s2, p).rgb, c[0].x), colour.a);
}
