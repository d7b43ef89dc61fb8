#version 430
// Scene 3: a flight through a winding, misty tunnel with a floor. Its last picture is handed over
// to the next scene through outColor2.

layout(binding = 0) uniform sampler2D backBuffer0;
layout(binding = 1) uniform sampler2D backBuffer1;
layout(binding = 5) uniform sampler2D grayScaleNoiseTexture2D;
layout(binding = 8) uniform sampler3D colorNoiseTexture3D;

layout(location = 0) out vec4 outColor0;
layout(location = 1) out vec4 outColor1;
layout(location = 2) out vec4 outColor2;

layout(location = 3) uniform vec2 resolution;
layout(location = 4) uniform float time;
layout(location = 5) uniform float mbrotate;
layout(location = 6) uniform float mbzoom;
layout(location = 7) uniform float scratch;
layout(location = 8) uniform float fadetime;
layout(location = 9) uniform float fadecolor;
layout(location = 10) uniform float scenetime;
layout(location = 11) uniform float invert;

#include"common.inl"
#include"postprocess.inl"

#define AA 2
#define TAU 6.28318530718

// ---- Noise ---------------------------------------------------------------------------------

// Smooth value noise in -1..1 from the 32^3 colour lattice (linear filtering, repeat wrap).
float noise(vec3 p)
{
    vec3 cell = floor(p);
    vec3 u = fract(p);
    u = u * u * (3.0 - 2.0 * u);
    return textureLod(colorNoiseTexture3D, (cell + u + 0.5) / 32.0, 0.0).r * 2.0 - 1.0;
}

float fbm(vec3 p)
{
    return noise(p * 0.06125) * 0.5 + noise(p * 0.125) * 0.25 + noise(p * 0.25) * 0.125;
}

// ---- The tunnel ----------------------------------------------------------------------------

// Centre line of the tunnel: it winds left and right along z.
vec2 path(float z)
{
    return vec2(sin(z / 36.0) * cos(z / 18.0) * 6.0, 0.0);
}

vec3 tri(vec3 p)
{
    return abs(p - floor(p) - 0.5);
}

// Faceted bumps of the tunnel wall.
float surfFunc(vec3 p)
{
    return dot(tri(p * 0.5 + tri(p * 0.25).yzx), vec3(0.666));
}

// Free space inside a rounded-square tube around the path, bumped by surfFunc, above a floor at
// y = -1.
float sdTunnel(vec3 p)
{
    float bumps = surfFunc(p - vec3(0.0, cos(p.z / 3.0) * 0.15, 0.0));
    vec2 v = pow(abs(p.xy - path(p.z)) * vec2(0.5, 0.7071), vec2(4.0));
    float wall = 1.0 - pow(v.x + v.y, 0.25) + (0.5 - bumps);
    return min(wall, p.y + 1.0);
}

// The tunnel with drifting noise (held by "scratch" when it is set); nearby samples get up to four
// finer octaves of detail, far ones fewer.
float map(vec3 p, int octaves)
{
    p.z += 4.0;
    float n = sdTunnel(p) + fbm(p * 50.0 + (scratch > 0.0 ? scratch : time) * 1.5) * 0.45;
    if (octaves >= 2) n += 0.25 * noise(p);
    p *= 2.23;
    if (octaves >= 3) n += 0.125 * noise(p);
    p *= 2.41;
    if (octaves >= 4) n += 0.0625 * noise(p);
    p *= 2.62;
    if (octaves >= 5) n += 0.03125 * noise(p);
    return n;
}

// ---- The march -----------------------------------------------------------------------------

// Accumulates pale blue walls and blue-grey fog along the ray. Returns the colour and the
// distance reached.
vec4 trace(vec3 ro, vec3 rd)
{
    const float hitBand = 0.05;
    vec3 col = vec3(0.05, 0.12, 0.15) + 0.1 * rd.y;
    float bandDepth = 0.0;
    float opacity = 0.0;
    float t = 0.0;
    float d = 0.0;
    float previousFog = 0.0;
    vec3 q = vec3(0.0);
    for (int i = 0; i < 130 && t < 60.0; i++) {
        if (d < 0.001 * t || opacity >= 0.99) break;
        q = ro + t * rd;
        int octaves = 5 - int(log2(1.0 + 0.5 * t));
        d = map(q, octaves) * 0.5;
        if (d < hitBand) {
            bandDepth = hitBand - d;
            float gain = (1.0 - opacity) * bandDepth;
            col += gain * hsv2rgb(vec3(0.6 + 0.3 * noise(q * 0.2), 0.2, 0.8));
            col += d * d * d;
            opacity += gain + 0.005;
        }
        opacity += 1.0 / 70.0;
        // Fog thickens with distance.
        float fog = exp(0.2 * t - 0.0125);
        col += vec3(0.06, 0.08, 0.11) * clamp(fog - previousFog, 0.0, 1.0);
        previousFog = fog;
        d = max(d, hitBand);
        t += d;
    }
    float depth = distance(ro, q);

    col = col * 0.8 / exp(0.2 * bandDepth);
    col = clamp(col, 0.0, 1.0);
    col = col * col * (3.0 - 2.0 * col);
    return vec4(col, depth);
}

// ---- Frame ---------------------------------------------------------------------------------

void main()
{
    vec2 uv = gl_FragCoord.xy / resolution;
    // Letter-box bars stay black and keep nothing else.
    if (cineScope(gl_FragCoord, resolution, 0.7)) {
        outColor0 = vec4(0.0, 0.0, 0.0, 1.0);
        return;
    }

    // The camera flies along the path, looking slightly up, right and ahead ("scratch" holds the
    // position, "mbzoom" jumps it).
    vec3 ro = vec3(0.0, -0.25, (scratch > 0.0 ? scratch : time * 0.5) + mbzoom);
    vec3 lookAt = ro + vec3(0.1, 0.1, 0.5);
    ro.xy += path(ro.z);
    lookAt.xy += path(lookAt.z);
    vec3 forward = normalize(lookAt - ro);
    vec3 right = normalize(vec3(forward.z, 0.0, -forward.x));
    vec3 up = cross(forward, right);

    // 2 x 2 supersampling.
    vec4 colour = vec4(0.0);
    for (int i = 0; i < AA; i++) {
        for (int j = 0; j < AA; j++) {
            vec2 offset = vec2(float(i), float(j)) / float(AA) - 0.5;
            vec2 screenPoint = (2.0 * (gl_FragCoord.xy + offset) - resolution) / resolution.y;
            vec3 rd = normalize(forward + 0.5 * screenPoint.x * right + 0.5 * screenPoint.y * up);
            colour += trace(ro, rd);
        }
    }
    colour /= float(AA * AA);

    colour.rgb = pow(colour.rgb, vec3(0.4545));
    // A rust-red tint where the choreography inverts the mood.
    if (invert > 0.0) colour.rgb *= vec3(0.7, 0.36, 0.32);
    colour = vignetteEffect(uv, colour);
    colour.rgb = fade(vec3(fadecolor), colour.rgb, fadetime);
    outColor1 = colour;
    // At the very end of the scene the picture is also kept for the next scene to fade from.
    if (scenetime >= 0.99) outColor2 = colour;

    // The screen shows the previous frame's picture through the depth of field.
    float focusScale = scratch > 0.0 ? 25.0 : (0.5 + 0.5 * sin(time * 0.1)) * 50.0;
    outColor0.rgb = depthOfField(backBuffer1, uv, 0.6, 68.0, focusScale, resolution);
    outColor0.a = 1.0;
}
