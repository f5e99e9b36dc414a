#version 330 core
// A viewport: the mask on stage 0 (grey masks pass colour unchanged,
// coloured ones tint), the content on stage 1, premultiplied.
in vec4 vColour;
in vec2 vTex[7];
uniform sampler2D s0, s1;
out vec4 fragColour;
void main() {
  vec4 mask = texture(s0, vTex[0]);
  vec4 content = texture(s1, vTex[1]);
  float r = mask.r, g = mask.g, b = mask.b;
  float grey = (1.0 - abs(r - g)) * (1.0 - abs(g - b)) * (1.0 - abs(b - r));
  vec3 m = mix(mask.rgb, vec3(1.0), grey);
  float maskAlpha = max(r, max(g, b));
  vec3 colour = content.a > 0.0 ? content.rgb * m / content.a : vec3(0.0);
  fragColour = vec4(colour, content.a * maskAlpha * vColour.a);
}
