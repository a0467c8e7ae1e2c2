#version 330 compatibility
// A mesh placed by the fixed-function matrices, its texture coordinates and normal handed on.
layout(location = 0) in vec3 in_position;
layout(location = 1) in vec3 in_normal;
layout(location = 2) in vec2 in_texcoords;
out vec3 normal;
out vec2 uv;

void main() {
  normal = gl_NormalMatrix * in_normal;
  uv = in_texcoords;
  gl_Position = gl_ModelViewProjectionMatrix * vec4(in_position, 1.0);
}
