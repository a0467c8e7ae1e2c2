#version 330 compatibility
// Vertex stage for the sine scroller: every glyph corner rides a wave along the line, its height
// swelling with the bass.
uniform float musictime;
uniform float musicdata[256];

out Flat {
    vec2 texcoords;
    vec4 colour;
    vec3 viewPosition;
} quad;

void main()
{
    vec4 vertex = gl_Vertex;
    float bass = musicdata[1] + musicdata[2] + musicdata[3];
    vertex.y += sin(vertex.x * 0.55 - musictime * 4.0) * (0.35 + bass * 0.25);
    quad.texcoords = gl_MultiTexCoord0.xy;
    quad.colour = gl_Color;
    quad.viewPosition = (gl_ModelViewMatrix * vertex).xyz;
    gl_Position = gl_ModelViewProjectionMatrix * vertex;
}
