#version 330 compatibility
// Pictures shown as images: the Image effect samples with nearest filtering, so this filters by
// hand (four bilinear taps). A light sweep crosses the picture every two bars, the glow pulses with
// the bass, and the picture fades in over the first second after the object's timer.
// State bit 1 adds a scan-line glitch on the beat.
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

vec4 smoothSample(vec2 uv)
{
    vec2 dx = dFdx(uv) * 0.25;
    vec2 dy = dFdy(uv) * 0.25;
    return (bilinear(uv + dx + dy) + bilinear(uv + dx - dy) + bilinear(uv - dx + dy) + bilinear(uv - dx - dy)) * 0.25;
}

void main()
{
    vec2 uv = quad.texcoords;
    float beat = pow(1.0 - fract(musictime * 2.0), 8.0);
    if ((state & 1) != 0) {
        float line = floor(uv.y * 40.0);
        float jitter = fract(sin(line * 91.7 + floor(musictime * 8.0) * 13.3) * 4375.5);
        uv.x += step(0.75, jitter) * (jitter - 0.875) * 0.16 * beat;
    }
    vec4 colour = smoothSample(uv);
    float sweep = smoothstep(0.08, 0.0, abs(uv.x - uv.y * 0.3 - mod(musictime * 0.5, 2.0) + 0.4));
    float bass = musicdata[1] + musicdata[2] + musicdata[3];
    colour.rgb += sweep * colour.a * 0.8;
    colour.rgb *= 1.0 + bass * 0.35;
    colour.a *= clamp(musictime, 0.0, 1.0);
    if (colour.a < 0.01)
        discard;
    fragColour = colour;
}
