#version 330 compatibility
// Sparks of a burning field: white-hot while big, cooling through orange to deep red as they
// shrink (their size read back from the model-view matrix), flickering with the blue channel the
// burn animation randomises every frame. State bit 2 makes them ice blue (bit 1 is the field's
// rebirth mark).
uniform float musictime;
uniform float musicdata[256];
uniform int state;

in Surface {
    vec3 viewPosition;
    vec3 viewNormal;
    vec2 texcoords;
    vec3 objectPosition;
    vec4 colour;
} surface;

out vec4 fragColour;

void main()
{
    // Sparks are made 0.5 units big; the field's particles shrink from scale 1 towards 0.
    float size = length(gl_ModelViewMatrix[0].xyz) / 0.5;
    float heat = clamp(size, 0.0, 1.0);
    float flicker = 0.75 + surface.colour.b * 1.2;
    vec3 colour = mix(vec3(0.5, 0.02, 0.0), vec3(1.0, 0.45, 0.05), smoothstep(0.0, 0.6, heat));
    colour = mix(colour, vec3(1.0, 0.95, 0.75), smoothstep(0.8, 1.0, heat));
    if ((state & 2) != 0)
        colour = colour.bgr;
    float hiss = musicdata[60] + musicdata[90] + musicdata[120];
    fragColour = vec4(colour * flicker * (1.0 + hiss * 20.0), 1.0);
}
