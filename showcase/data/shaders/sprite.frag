#version 330 compatibility
// Glowing sprites and backdrops drawn as images: hand-filtered (the Image effect samples nearest),
// cut out where transparent so their empty corners do not hide what lies behind, and brightened
// by the spectrum bin their distance picks. State bit 1 tints them pink.
uniform sampler2D picture;
uniform float musictime;
uniform float musicdata[256];
uniform int state;

in Flat {
    vec2 texcoords;
    vec4 colour;
    vec3 viewPosition;
} quad;

out vec4 fragColour;

vec4 bilinear(vec2 uv)
{
    ivec2 size = textureSize(picture, 0);
    vec2 texel = uv * vec2(size) - 0.5;
    ivec2 corner = ivec2(floor(texel));
    vec2 weight = fract(texel);
    ivec2 last = size - 1;
    vec4 a = texelFetch(picture, clamp(corner, ivec2(0), last), 0);
    vec4 b = texelFetch(picture, clamp(corner + ivec2(1, 0), ivec2(0), last), 0);
    vec4 c = texelFetch(picture, clamp(corner + ivec2(0, 1), ivec2(0), last), 0);
    vec4 d = texelFetch(picture, clamp(corner + ivec2(1, 1), ivec2(0), last), 0);
    return mix(mix(a, b, weight.x), mix(c, d, weight.x), weight.y);
}

void main()
{
    vec4 colour = bilinear(quad.texcoords);
    if (colour.a < 0.04)
        discard;
    int bin = clamp(int(length(quad.viewPosition) * 0.5) + 3, 3, 160);
    colour.rgb *= 0.8 + min(musicdata[bin] * (1.0 + float(bin) * 0.4) * 2.0, 1.5);
    if ((state & 1) != 0)
        colour.rgb *= vec3(1.0, 0.55, 0.85);
    fragColour = colour;
}
