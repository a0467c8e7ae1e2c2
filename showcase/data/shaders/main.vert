#version 330 compatibility
// Vertex stage shared by every mesh program of the show: the object's vertex buffer in, the
// fixed-function matrix stack for placement. Fixed locations keep one vertex array valid for any
// program a mesh is switched to after it was set up.
layout(location = 0) in vec3 in_position;
layout(location = 1) in vec3 in_normal;
layout(location = 2) in vec2 in_texcoords;

out Surface {
    vec3 viewPosition;
    vec3 viewNormal;
    vec2 texcoords;
    vec3 objectPosition;
    vec4 colour;
} surface;

void main()
{
    vec4 position = vec4(in_position, 1.0);
    surface.viewPosition = (gl_ModelViewMatrix * position).xyz;
    // Not normalised here: position-only meshes carry zero normals.
    surface.viewNormal = gl_NormalMatrix * in_normal;
    surface.texcoords = in_texcoords;
    surface.objectPosition = in_position;
    surface.colour = gl_Color;
    gl_Position = gl_ModelViewProjectionMatrix * position;
}
