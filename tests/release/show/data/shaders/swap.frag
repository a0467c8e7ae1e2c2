#version 120
// Shows the texture with red and blue swapped, so a screenshot tells this program from the fixed pipeline.
uniform sampler2D picture;
varying vec2 uv;

void main() {
  vec4 texel = texture2D(picture, uv);
  gl_FragColor = vec4(texel.b, texel.g, texel.r, 1.0);
}
