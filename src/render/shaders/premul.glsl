#version 330 core
// Two pictures multiplied, the product's colour taken out of its alpha.
in vec4 vColour;
in vec2 vTex[7];
uniform sampler2D s0, s1;
out vec4 fragColour;
void main() {
  vec4 p = texture(s0, vTex[0]) * texture(s1, vTex[1]);
  // A transparent product has no colour; dividing would make none either.
  fragColour = vec4(p.a > 0.0 ? p.rgb / p.a : vec3(0.0), p.a * vColour.a);
}
