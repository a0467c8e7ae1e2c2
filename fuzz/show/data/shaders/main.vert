#version 330 compatibility
// The mesh layout in, the fixed-function matrices for placement.
in vec3 in_position;
in vec3 in_normal;
in vec2 in_texcoords;

out vec3 normal;
out vec2 texcoords;

void main()
{
    normal = gl_NormalMatrix * in_normal;
    texcoords = in_texcoords;
    gl_Position = gl_ModelViewProjectionMatrix * vec4(in_position, 1.0);
}
