#version 330 compatibility
// Meshes: the object's vertex buffer through the fixed-function matrices.
layout(location = 0) in vec3 in_position;
layout(location = 1) in vec3 in_normal;
layout(location = 2) in vec2 in_texcoords;

out Surface {
    vec3 normal;
    vec2 texcoords;
} surface;

void main()
{
    surface.normal = gl_NormalMatrix * in_normal;
    surface.texcoords = in_texcoords;
    gl_Position = gl_ModelViewProjectionMatrix * vec4(in_position, 1.0);
}
