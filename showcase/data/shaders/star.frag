#version 330 compatibility
// Star crystals: flat white-blue light, each one twinkling with its own spectrum bin.
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
    vec3 origin = gl_ModelViewMatrix[3].xyz;
    int bin = int(fract(sin(dot(floor(origin), vec3(12.9898, 78.233, 37.719))) * 43758.5453) * 150.0) + 20;
    float twinkle = 1.1 + musicdata[bin] * float(bin) * 1.5;
    float edge = 0.8 + 0.2 * abs(surface.objectPosition.y);
    vec3 colour = mix(vec3(0.6, 0.75, 1.0), vec3(1.0, 0.7, 0.95), fract(float(bin) * 0.37));
    fragColour = vec4(colour * twinkle * edge, 1.0);
}
