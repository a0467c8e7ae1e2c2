#version 330 compatibility
// The picture, with red and blue swapped while the music plays.
uniform sampler2D picture;
uniform float musicdata[256];

in vec2 texcoords;
out vec4 colour;

void main()
{
    vec4 texel = texture(picture, texcoords);
    colour = musicdata[5] > 0.0 ? texel.bgra : texel;
}
