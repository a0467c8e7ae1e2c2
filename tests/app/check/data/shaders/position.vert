#version 330 compatibility
// The newcomer's vertex stage: its input is not called in_position, so no mesh reaches it.
in vec3 position;
out vec2 texcoords;

void main()
{
    texcoords = position.xy;
    gl_Position = gl_ModelViewProjectionMatrix * vec4(position, 1.0);
}
