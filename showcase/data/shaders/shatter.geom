#version 330 compatibility
// Breaks a mesh into its triangles: each one is pushed out along its face normal by the bass and
// turned to face the way it flies. With state bit 1 the pieces also fly apart for good, starting
// at the object's timer.
layout(triangles) in;
layout(triangle_strip, max_vertices = 3) out;

uniform float musictime;
uniform float musicdata[256];
uniform int state;

in Surface {
    vec3 viewPosition;
    vec3 viewNormal;
    vec2 texcoords;
    vec3 objectPosition;
    vec4 colour;
} pieces[];

out Surface {
    vec3 viewPosition;
    vec3 viewNormal;
    vec2 texcoords;
    vec3 objectPosition;
    vec4 colour;
} surface;

void main()
{
    vec3 a = pieces[0].viewPosition;
    vec3 b = pieces[1].viewPosition;
    vec3 c = pieces[2].viewPosition;
    vec3 centre = (a + b + c) / 3.0;
    vec3 normal = normalize(cross(b - a, c - a) + vec3(1e-6));
    float scale = length(gl_ModelViewMatrix[0].xyz);
    float bass = musicdata[1] + musicdata[2] + musicdata[3];
    float push = bass * bass * 0.25;
    float shrink = 1.0;
    if ((state & 1) != 0) {
        float time = max(musictime, 0.0);
        push += time * time * 0.6;
        shrink = clamp(1.0 - time * 0.12, 0.0, 1.0);
    }
    vec3 offset = normal * push * scale;
    for (int i = 0; i < 3; ++i) {
        vec3 position = centre + (pieces[i].viewPosition - centre) * shrink + offset;
        surface.viewPosition = position;
        surface.viewNormal = pieces[i].viewNormal;
        surface.texcoords = pieces[i].texcoords;
        surface.objectPosition = pieces[i].objectPosition;
        surface.colour = pieces[i].colour;
        gl_Position = gl_ProjectionMatrix * vec4(position, 1.0);
        EmitVertex();
    }
    EndPrimitive();
}
