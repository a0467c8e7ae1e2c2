#version 330 compatibility
// One colour, no inputs: links with any vertex stage.
out vec4 colour;

void main()
{
    colour = vec4(1.0, 0.5, 0.25, 1.0);
}
