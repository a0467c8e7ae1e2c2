#version 330 compatibility
// The default look: the object's picture lit by the camera's light, a rim that breathes with the
// bass. State bit 1 tints it gold.
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
    vec3 eye = normalize(-surface.viewPosition);
    float bass = musicdata[1] + musicdata[2] + musicdata[3];
    vec4 base = texture(picture, surface.texcoords) * surface.colour;
    if ((state & 1) != 0)
        base.rgb *= vec3(1.0, 0.8, 0.45);
    float diffuse = max(dot(normal, light), 0.0);
    float rim = pow(1.0 - abs(dot(normal, eye)), 3.0);
    vec3 glow = vec3(0.9, 0.3, 1.0) * rim * (0.4 + 1.5 * bass);
    float shimmer = 0.05 * sin(surface.objectPosition.y * 8.0 + musictime * 3.0);
    fragColour = vec4(base.rgb * (0.35 + 0.8 * diffuse + shimmer) + glow, base.a);
}
