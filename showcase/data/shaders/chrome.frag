#version 330 compatibility
// Polished chrome: the view reflected into a made-up synthwave world (sky gradient, hot horizon,
// dark floor), a hard highlight from the camera's light and a rim pulsing with the bass.
// State bit 1 turns it to gold, bit 2 to glowing magenta.
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
    vec3 normal = normalize(surface.viewNormal + vec3(1e-6));
    vec3 eye = normalize(-surface.viewPosition);
    vec3 light = normalize(gl_LightSource[0].position.xyz);
    vec3 reflected = reflect(-eye, normal);
    float up = reflected.y;
    vec3 world = up > 0.0
        ? mix(vec3(1.0, 0.4, 0.7), vec3(0.15, 0.2, 0.6), pow(up, 0.5))
        : mix(vec3(0.6, 0.2, 0.4), vec3(0.02, 0.0, 0.05), pow(-up, 0.4));
    world += vec3(1.0, 0.9, 0.7) * smoothstep(0.06, 0.0, abs(up));
    float bands = step(0.5, fract(up * 6.0 + musictime * 0.25)) * step(0.0, up) * 0.08;
    world += bands;
    float highlight = pow(max(dot(reflected, light), 0.0), 60.0);
    float bass = musicdata[1] + musicdata[2] + musicdata[3];
    float rim = pow(1.0 - max(dot(normal, eye), 0.0), 2.5);
    vec3 metal = vec3(0.9, 0.95, 1.0);
    if ((state & 1) != 0)
        metal = vec3(1.0, 0.75, 0.35);
    vec3 colour = world * metal + highlight * 1.5;
    vec3 rimColour = (state & 2) != 0 ? vec3(1.0, 0.1, 0.8) : vec3(0.3, 0.8, 1.0);
    colour += rimColour * rim * (0.3 + 2.0 * bass);
    fragColour = vec4(colour, 1.0);
}
