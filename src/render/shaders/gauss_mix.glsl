#version 330 core
// The full-size picture on stage 0 and the half-size one on stage 1, mixed by c0.x.
in vec4 vColour;
in vec2 vTex[7];
uniform sampler2D s0, s1;
uniform vec4 c[32];
out vec4 fragColour;
void main() { fragColour = mix(texture(s0, vTex[0]), texture(s1, vTex[1]), c[0].x); }
