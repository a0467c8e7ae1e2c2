#version 330 compatibility
layout(location = 0) in vec3 in_position;
layout(location = 1) in vec3 in_normal;
layout(location = 2) in vec2 in_texcoords;
out vec2 texcoords;

void main()
{
    texcoords = in_texcoords + 0.0 * in_normal.xy;
    gl_Position = gl_ModelViewProjectionMatrix * vec4(in_position, 1.0);
}
