#version 330 compatibility
// Full-screen veils, timed from the object's timer: state 0 fades in from black over three seconds,
// bit 1 fades out to black over five, bit 2 is a white flash that dies away in half a second.
uniform float musictime;
uniform int state;

out vec4 fragColour;

void main()
{
    float time = max(musictime, 0.0);
    if ((state & 2) != 0)
        fragColour = vec4(1.0, 0.95, 1.0, exp(-time * 7.0));
    else if ((state & 1) != 0)
        fragColour = vec4(0.0, 0.0, 0.0, clamp(time / 5.0, 0.0, 1.0));
    else
        fragColour = vec4(0.0, 0.0, 0.0, 1.0 - clamp(time / 3.0, 0.0, 1.0));
}
