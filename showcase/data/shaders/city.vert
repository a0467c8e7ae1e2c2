#version 330 compatibility
// Vertex stage of the equaliser city: the top of every block rises with the spectrum bin of its
// distance from the camera, so the blocks near the eye jump with the bass and the far ones with
// the treble.
layout(location = 0) in vec3 in_position;
layout(location = 1) in vec3 in_normal;
layout(location = 2) in vec2 in_texcoords;

uniform float musicdata[256];

out Surface {
    vec3 viewPosition;
    vec3 viewNormal;
    vec2 texcoords;
    vec3 objectPosition;
    vec4 colour;
} surface;

void main()
{
    float distanceToBlock = length(gl_ModelViewMatrix[3].xyz);
    // The nearest blocks are some 12 units from the camera: they take the bass.
    int bin = clamp(int((distanceToBlock - 10.0) * 0.8), 1, 60);
    // The spectrum falls steeply with frequency: lift the far bins so every ring moves.
    float level = musicdata[bin] * (1.0 + float(bin) * 0.4);
    vec4 position = vec4(in_position, 1.0);
    if (in_position.y > 0.0)
        position.y += min(level * 6.0, 4.0);
    surface.viewPosition = (gl_ModelViewMatrix * position).xyz;
    surface.viewNormal = gl_NormalMatrix * in_normal;
    surface.texcoords = in_texcoords;
    surface.objectPosition = in_position;
    surface.colour = gl_Color;
    gl_Position = gl_ModelViewProjectionMatrix * position;
}
