#version 330 compatibility
// Images and text: fixed-function quads.
out vec2 texcoords;

void main()
{
    texcoords = gl_MultiTexCoord0.st;
    gl_Position = gl_ModelViewProjectionMatrix * gl_Vertex;
}
