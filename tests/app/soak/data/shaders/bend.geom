#version 330 compatibility
// Passes each triangle on, pushed out a little along its normal as the music time goes.
layout(triangles) in;
layout(triangle_strip, max_vertices = 3) out;

uniform float musictime;

in Surface {
    vec3 normal;
    vec2 texcoords;
} corners[];

out Surface {
    vec3 normal;
    vec2 texcoords;
} surface;

void main()
{
    for (int i = 0; i < 3; ++i) {
        surface.normal = corners[i].normal;
        surface.texcoords = corners[i].texcoords;
        gl_Position = gl_in[i].gl_Position + vec4(corners[i].normal * 0.05 * sin(musictime), 0.0);
        EmitVertex();
    }
    EndPrimitive();
}
