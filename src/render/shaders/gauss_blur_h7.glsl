#version 330 core
// Seven taps across: c0 = (w3, w2, w1, w0), c1.x = step.
in vec4 vColour;
in vec2 vTex[7];
uniform sampler2D s0;
uniform vec4 c[32];
out vec4 fragColour;
vec4 Tap(float k) { return texture(s0, vec2(clamp(vTex[0].x + k * c[1].x, 0.0, 1.0), vTex[0].y)); }
void main() {
  vec4 w = c[0];
  fragColour = w.w * Tap(0.0) + w.z * (Tap(-1.0) + Tap(1.0)) + w.y * (Tap(-2.0) + Tap(2.0)) +
               w.x * (Tap(-3.0) + Tap(3.0));
}
