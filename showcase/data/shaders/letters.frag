#version 330 compatibility
// The voxel title: fronts painted like a synthwave logo (cold chrome above a hot horizon line,
// warm below), sides dark and lit, everything brightening with the bass.
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
    float bass = musicdata[1] + musicdata[2] + musicdata[3];
    float height = surface.objectPosition.y / 3.5;
    vec3 front = height > 0.0
        ? mix(vec3(0.2, 0.45, 1.0), vec3(0.85, 1.0, 1.0), height)
        : mix(vec3(1.0, 0.25, 0.6), vec3(1.0, 0.75, 0.3), -height);
    float line = smoothstep(0.05, 0.0, abs(height - 0.02 * sin(musictime * 2.0)));
    front += line * 0.8;
    float sweep = smoothstep(1.5, 0.0, abs(surface.objectPosition.x * 0.1 - mod(musictime * 1.2, 8.0) + 4.0));
    front += sweep * 0.35;
    vec3 side = vec3(0.25, 0.08, 0.35) * (0.4 + 0.8 * max(dot(normal, light), 0.0));
    float facing = smoothstep(0.45, 0.5, surface.objectPosition.z);
    vec3 colour = mix(side, front, facing) * (0.85 + bass * 0.3);
    fragColour = vec4(colour, 1.0);
}
