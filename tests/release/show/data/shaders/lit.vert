#version 330 compatibility
// Meshes placed by the fixed-function matrices, their normals in view space for the light.
layout(location = 0) in vec3 in_position;
layout(location = 1) in vec3 in_normal;
out vec3 normal;

void main() {
  normal = gl_NormalMatrix * in_normal;
  gl_Position = gl_ModelViewProjectionMatrix * vec4(in_position, 1.0);
}
