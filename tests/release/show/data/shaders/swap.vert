#version 120
// Places the image as the fixed pipeline would and hands on its texture coordinates.
varying vec2 uv;

void main() {
  uv = gl_MultiTexCoord0.st;
  gl_Position = gl_ModelViewProjectionMatrix * gl_Vertex;
}
