#version 430
// Stand-in for a scene whose own program is not embedded: a slowly moving colour wash, faded
// like the real scenes so the choreography can still be watched.

layout(location = 0) out vec4 outColor0;
layout(location = 1) out vec4 outColor1;
layout(location = 2) out vec4 outColor2;

uniform vec2 resolution;
uniform float time;
uniform float fadetime;
uniform float fadecolor;

void main()
{
    vec2 uv = gl_FragCoord.xy / resolution;
    vec3 wash = 0.5 + 0.5 * cos(time * 0.05 + uv.xyx * 3.0 + vec3(0.0, 2.0, 4.0));
    vec3 color = mix(vec3(fadecolor), wash, fadetime);
    outColor0 = vec4(color, 1.0);
    outColor1 = outColor0;
    outColor2 = outColor0;
}
