#version 330 compatibility
// The picture, lit a little, brightened by the music and tinted by state bit 1.
uniform sampler2D picture;
uniform float musictime;
uniform float musicdata[256];
uniform int state;

in Surface {
    vec3 normal;
    vec2 texcoords;
} surface;

out vec4 colour;

void main()
{
    float light = 0.5 + 0.5 * max(dot(normalize(surface.normal + vec3(1e-6)), vec3(0.0, 0.0, 1.0)), 0.0);
    vec4 base = texture(picture, surface.texcoords) * light * (1.0 + musicdata[5] + 0.1 * sin(musictime));
    if ((state & 1) != 0)
        base.rgb *= vec3(1.0, 0.8, 0.5);
    colour = vec4(base.rgb, 1.0);
}
