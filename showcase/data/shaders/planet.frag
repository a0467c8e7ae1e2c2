#version 330 compatibility
// The gas giant: its picture lit from the camera's light, a night side that glows with the bass,
// and an atmosphere rim. State bit 1 lights up its storm bands with the mid frequencies.
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
    vec3 eye = normalize(-surface.viewPosition);
    vec3 light = normalize(gl_LightSource[0].position.xyz);
    vec2 flow = vec2(musictime * 0.004 * (1.0 + surface.objectPosition.y * surface.objectPosition.y), 0.0);
    vec3 bands = texture(picture, surface.texcoords + flow).rgb;
    float day = max(dot(normal, light), 0.0);
    float bass = musicdata[1] + musicdata[2] + musicdata[3];
    vec3 colour = bands * (0.08 + 1.1 * day);
    colour += bands.bgr * (1.0 - day) * bass * 0.35;
    if ((state & 1) != 0) {
        float mids = musicdata[12] + musicdata[18] + musicdata[24];
        colour += vec3(1.0, 0.3, 0.7) * smoothstep(0.6, 1.0, bands.r) * mids * 2.0;
    }
    float rim = pow(1.0 - max(dot(normal, eye), 0.0), 3.0);
    colour += vec3(0.4, 0.7, 1.0) * rim * (0.6 + day);
    fragColour = vec4(colour, 1.0);
}
