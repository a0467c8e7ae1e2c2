#version 330 compatibility
// The texture lit from one side, and nothing that moves with the music: a still picture to compare.
uniform sampler2D picture;
in vec3 normal;
in vec2 uv;
out vec4 colour;

void main() {
  float light = 0.4 + 0.6 * max(dot(normalize(normal + vec3(1e-6)), normalize(vec3(0.5, 0.7, 1.0))), 0.0);
  colour = vec4(texture(picture, uv).rgb * light, 1.0);
}
