#version 330 compatibility
// Vertex stage for images and text, which send their quads with glVertex and glTexCoord.
out Flat {
    vec2 texcoords;
    vec4 colour;
    vec3 viewPosition;
} quad;

void main()
{
    quad.texcoords = gl_MultiTexCoord0.xy;
    quad.colour = gl_Color;
    quad.viewPosition = (gl_ModelViewMatrix * gl_Vertex).xyz;
    gl_Position = gl_ModelViewProjectionMatrix * gl_Vertex;
}
