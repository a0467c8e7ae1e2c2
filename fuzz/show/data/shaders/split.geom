#version 330 compatibility
// Passes each triangle on, pushed along the z axis by the time; pairs with flat.frag.
layout(triangles) in;
layout(triangle_strip, max_vertices = 3) out;

uniform float musictime;

void main()
{
    for (int i = 0; i < 3; ++i) {
        gl_Position = gl_in[i].gl_Position + vec4(0.0, 0.0, 0.01 * musictime, 0.0);
        EmitVertex();
    }
    EndPrimitive();
}
