#version 330 compatibility
// Tunnel panels: the picture with its light strip driven by the spectrum, bin by depth, so beats
// run along the tube. State bit 1 shifts the strip from amber to cyan.
uniform sampler2D picture;
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
    float depth = -surface.viewPosition.z;
    int bin = clamp(int(depth * 0.6) + 1, 1, 100);
    float level = musicdata[bin] * (1.0 + float(bin) * 0.4);
    vec3 panel = texture(picture, surface.texcoords).rgb;
    float strip = max(panel.r - panel.b, 0.0);
    vec3 tint = (state & 1) != 0 ? vec3(0.2, 0.9, 1.0) : vec3(1.0, 0.55, 0.15);
    float facing = abs(normalize(-surface.viewPosition).z * normal.z) * 0.3 + 0.4;
    vec3 colour = panel * facing + tint * strip * (0.3 + min(level * 5.0, 3.0));
    float beat = pow(1.0 - fract(musictime * 2.0), 6.0);
    colour += tint * 0.15 * beat;
    colour = mix(colour, vec3(0.0, 0.02, 0.06), clamp((depth - 30.0) / 40.0, 0.0, 1.0));
    fragColour = vec4(colour, 1.0);
}
