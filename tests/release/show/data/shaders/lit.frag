#version 330 compatibility
// A flat colour lit by the camera's light: nothing here follows the music, so the picture holds still.
in vec3 normal;
out vec4 colour;

void main() {
  float light = max(dot(normalize(normal + vec3(1e-6)), normalize(gl_LightSource[0].position.xyz)), 0.0);
  colour = vec4(vec3(0.2, 0.6, 1.0) * (0.3 + 0.7 * light), 1.0);
}
