#version 330 compatibility
// Compiles, but a program needs a main function in each stage: it does not link.
vec4 glow()
{
    return vec4(1.0);
}
