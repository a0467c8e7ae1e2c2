#version 330 compatibility
in vec2 texcoords;
out vec4 colour;

void main()
{
    colour = vec4(texcoords, 1.0, 1.0);
}
