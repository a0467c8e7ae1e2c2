#version 330 compatibility
// Text with a shader: the font's alpha filled with a rainbow that runs along the line, fading in
// over the first second after the object's timer. State bit 1 makes it blink on the beat.
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

void main()
{
    float coverage = texture(picture, quad.texcoords).a;
    // The glyph's column in the atlas varies along the line; its view position gives a steady hue.
    float along = quad.viewPosition.x * 0.35 - musictime * 0.8;
    vec3 hue = 0.55 + 0.45 * cos(6.2831 * (along + vec3(0.0, 0.33, 0.67)));
    float treble = musicdata[40] + musicdata[80];
    vec3 colour = mix(hue, vec3(1.0), clamp(0.25 + treble * 10.0, 0.0, 1.0));
    float alpha = coverage * clamp(musictime, 0.0, 1.0);
    if ((state & 1) != 0)
        alpha *= 0.35 + 0.65 * step(0.5, fract(musictime * 2.0));
    fragColour = vec4(colour, alpha);
}
