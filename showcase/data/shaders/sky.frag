#version 330 compatibility
// The sky dome, seen from inside: nebula picture, a horizon glow in the palette of the scene,
// twinkling stars and a ring of spectrum bars around the horizon.
// The palette is chosen by the highest state bit (1 city, 2 tunnel, 4 space, 8 drop, 16 outro);
// the previous palette fades out over the first second after the dome's timer.
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

const float PI = 3.14159265;

int highestBit(int bits)
{
    int index = 0;
    for (int bit = 1; bit < 6; ++bit)
        if ((bits & (1 << (bit - 1))) != 0)
            index = bit;
    return index;
}

// zenith colour, horizon colour, bar colour
void paletteOf(int index, out vec3 zenith, out vec3 horizon, out vec3 bars)
{
    if (index == 1) { zenith = vec3(0.05, 0.0, 0.12); horizon = vec3(1.0, 0.25, 0.55); bars = vec3(1.0, 0.7, 0.3); }
    else if (index == 2) { zenith = vec3(0.0, 0.02, 0.1); horizon = vec3(0.1, 0.6, 1.0); bars = vec3(0.4, 1.0, 1.0); }
    else if (index == 3) { zenith = vec3(0.0, 0.0, 0.03); horizon = vec3(0.15, 0.1, 0.4); bars = vec3(0.6, 0.5, 1.0); }
    else if (index == 4) { zenith = vec3(0.12, 0.0, 0.08); horizon = vec3(1.0, 0.35, 0.1); bars = vec3(1.0, 0.2, 0.8); }
    else if (index == 5) { zenith = vec3(0.0, 0.0, 0.02); horizon = vec3(0.3, 0.1, 0.5); bars = vec3(0.5, 0.4, 0.9); }
    else { zenith = vec3(0.0, 0.0, 0.02); horizon = vec3(0.25, 0.05, 0.35); bars = vec3(0.6, 0.3, 1.0); }
}

float hash(vec3 p)
{
    p = fract(p * vec3(443.897, 441.423, 437.195));
    p += dot(p, p.yzx + 19.19);
    return fract((p.x + p.y) * p.z);
}

void main()
{
    vec3 direction = normalize(surface.objectPosition);
    int current = highestBit(state);
    int previous = highestBit(state & ~(1 << max(current - 1, 0)));
    vec3 zenith, horizon, bars, zenithBefore, horizonBefore, barsBefore;
    paletteOf(current, zenith, horizon, bars);
    paletteOf(previous, zenithBefore, horizonBefore, barsBefore);
    float blend = clamp(musictime, 0.0, 1.0);
    zenith = mix(zenithBefore, zenith, blend);
    horizon = mix(horizonBefore, horizon, blend);
    bars = mix(barsBefore, bars, blend);

    float height = direction.y;
    vec3 colour = mix(horizon, zenith, pow(clamp(abs(height) * 2.2, 0.0, 1.0), 0.6));
    colour *= height < 0.0 ? 0.35 : 1.0;
    colour += texture(picture, surface.texcoords).rgb * 1.6;

    // Stars on a grid of directions, twinkling with the top of the spectrum.
    vec3 cell = floor(direction * 180.0);
    float seed = hash(cell);
    if (seed > 0.985) {
        vec3 centre = (cell + 0.5) / 180.0;
        float spot = smoothstep(0.0035, 0.0, length(direction - normalize(centre)));
        float treble = musicdata[int(seed * 4000.0) % 120 + 100];
        colour += vec3(0.8, 0.9, 1.0) * spot * (0.6 + 60.0 * treble);
    }

    // Spectrum ring: 64 bars per half turn, mirrored, rising from the horizon.
    float angle = atan(direction.x, direction.z) / PI;
    float slot = abs(angle) * 64.0;
    int bin = int(slot) * 2 + 2;
    float level = musicdata[bin] + musicdata[bin + 1];
    // Lifted with the bin number: the treble is far weaker than the bass.
    float top = min(level * (0.07 + float(bin) * 0.03), 0.2);
    float inside = step(0.0, height) * step(height, top) * step(0.15, fract(slot)) * step(fract(slot), 0.85);
    colour += bars * inside * (0.5 + height / max(top, 0.001));
    colour += bars * smoothstep(0.02, 0.0, abs(height)) * (0.4 + musicdata[1] * 1.5);

    // On the drop the whole dome flashes on every beat.
    if (current == 4)
        colour += horizon * 0.25 * pow(1.0 - fract(musictime * 2.0), 4.0);
    fragColour = vec4(colour, 1.0);
}
