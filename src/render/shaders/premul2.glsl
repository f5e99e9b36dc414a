#version 330 core
// The first picture times the second's colour taken out of its alpha.
in vec4 vColour;
in vec2 vTex[7];
uniform sampler2D s0, s1;
out vec4 fragColour;
void main() {
  vec4 a = texture(s0, vTex[0]);
  vec4 b = texture(s1, vTex[1]);
  vec3 q = b.a > 0.0 ? b.rgb / b.a : vec3(0.0);
  fragColour = vec4(a.rgb * q, a.a * b.a * vColour.a);
}
