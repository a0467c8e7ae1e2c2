#version 330 compatibility
// The blocks of the equaliser city: neon tiles whose glow follows the spectrum in rings around the
// camera (near blocks the bass, far ones the treble). A block that has just taken a new texture
// (its state set by the field's hand-over) burns white until it has grown back.
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
    vec3 light = normalize(gl_LightSource[0].position.xyz);
    float distanceToBlock = length(gl_ModelViewMatrix[3].xyz);
    // The nearest blocks are some 12 units from the camera: they take the bass.
    int bin = clamp(int((distanceToBlock - 10.0) * 0.8), 1, 60);
    float level = musicdata[bin] * (1.0 + float(bin) * 0.4);
    vec3 tile = texture(picture, surface.texcoords).rgb;
    float top = step(0.5, surface.objectPosition.y);
    vec3 colour = tile * (0.3 + 0.5 * max(dot(normal, light), 0.0) + top * 0.4);
    colour += tile * tile * min(level * 4.0, 2.5);
    if (state != 0)
        colour = mix(colour, vec3(1.0, 0.95, 0.9), 0.6);
    float fog = clamp((distanceToBlock - 25.0) / 45.0, 0.0, 1.0);
    colour = mix(colour, vec3(0.25, 0.04, 0.2), fog);
    fragColour = vec4(colour, 1.0);
}
