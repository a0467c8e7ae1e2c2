#version 330 compatibility
// The picture, brightened by the spectrum; state bit 1 tints it.
uniform sampler2D picture;
uniform float musictime;
uniform float musicdata[256];
uniform int state;

in vec3 normal;
in vec2 texcoords;
out vec4 colour;

void main()
{
    vec4 base = texture(picture, texcoords);
    if ((state & 1) != 0)
        base.rgb *= vec3(1.0, 0.5, 0.5);
    float beat = musicdata[int(mod(musictime * 10.0, 256.0))];
    colour = vec4(base.rgb * (0.5 + 0.5 * abs(normal.z)) + beat, base.a);
}
