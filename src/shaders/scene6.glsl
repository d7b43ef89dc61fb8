#version 430
// Scene 6: a second, wider tunnel flight in fog, streaked by light shafts. It fades in from the
// picture scene 5 left in attachment 2.

layout(binding = 0) uniform sampler2D backBuffer0;
layout(binding = 1) uniform sampler2D backBuffer1;
layout(binding = 2) uniform sampler2D backBuffer2;
layout(binding = 5) uniform sampler2D grayScaleNoiseTexture2D;
layout(binding = 8) uniform sampler3D colorNoiseTexture3D;

layout(location = 0) out vec4 outColor0;
layout(location = 1) out vec4 outColor1;
// Declared like scene 5's, never written: attachment 2 keeps scene 5's last picture.
layout(location = 2) out vec4 outColor2;

layout(location = 3) uniform vec2 resolution;
layout(location = 4) uniform float time;
layout(location = 5) uniform float mbrotate;
layout(location = 6) uniform float mbzoom;
layout(location = 7) uniform float scratch;
layout(location = 8) uniform float fadetime;
layout(location = 9) uniform float fadecolor;
layout(location = 10) uniform float scenetime;
layout(location = 11) uniform float radialblur;

#define AA 2

#include"common.inl"
#include"postprocess.inl"

// Smoothed value noise in -1..1 from the 32^3 colour lattice.
float noise(vec3 p)
{
    vec3 cell = floor(p);
    vec3 u = fract(p);
    u = u * u * (3.0 - 2.0 * u);
    return textureLod(colorNoiseTexture3D, (cell + u + 0.5) / 32.0, 0.0).x * 2.0 - 1.0;
}

float fbm(vec3 p)
{
    return noise(p * 0.06125) * 0.5 + noise(p * 0.125) * 0.25 + noise(p * 0.25) * 0.125;
}

// The tunnel's centre line: it sways sideways and up and down together.
vec2 path(float z)
{
    float sway = sin(z / 24.0) * cos(z / 18.0);
    return vec2(6.0 * sway, -2.5 * sway);
}

vec3 tri(vec3 p) { return abs(p - floor(p) - 0.5); }

// Cheap bumpy rock from two layers of triangle waves.
float surfFunc(vec3 p)
{
    return dot(tri(p * 0.5 + tri(p * 0.25).yzx), vec3(0.666));
}

// A rounded tube around the path with rocky walls, and a floor at y = -4.
float sdTunnel(vec3 p)
{
    float rock = surfFunc(p - vec3(0.0, cos(p.z / 3.0) * 0.15, 0.0));
    vec2 v = abs(p.xy - path(p.z)) * vec2(0.4, 0.6071);
    v = v * v;
    float wall = 1.0 - pow(v.x + v.y, 0.5) + (0.5 - rock);
    return min(wall, p.y + 4.0);
}

vec3 calcColor(float opacity, float radius)
{
    return mix(vec3(0.04, 0.02, 0.03), vec3(0.5, 0.55, 0.45), opacity) *
           mix(5.0 * vec3(0.8, 1.0, 1.0), 1.75 * vec3(0.48, 0.53, 0.54), min((radius + 0.5) / 0.9, 1.15));
}

// The tunnel with a noisy skin; `detail` (2 to 5) adds finer noise octaves near the camera.
float map(vec3 p, int detail)
{
    p.z += 4.0;
    float n = sdTunnel(p) + fbm(p * 50.0 + (scratch > 0.0 ? scratch : time) * 1.5) * 0.45;
    if (detail >= 2) n += 0.25 * noise(p);
    p *= 2.1;
    if (detail >= 3) n += 0.125 * noise(p);
    p *= 2.21;
    if (detail >= 4) n += 0.0625 * noise(p);
    p *= 2.62;
    if (detail >= 5) n += 0.03125 * noise(p);
    return n;
}

// Accumulates the walls' glow and the fog along the ray; returns the colour and the depth.
vec4 trace(vec3 ro, vec3 rd)
{
    vec3 base = vec3(0.05, 0.12, 0.15) + 0.1 * rd.y;
    vec3 colour = base;
    float bandDepth = 0.0;
    float opacity = 0.0;
    float t = 0.0;
    float d = 0.0;
    float previousFog = 0.0;
    vec3 q = vec3(0.0);
    for (int i = 0; i < 130 && t < 60.0; i++) {
        if (d < 0.001 * t || opacity >= 0.95) break;
        q = ro + t * rd;
        int detail = 5 - int(log2(1.0 + 0.5 * t));
        d = map(q, detail) * 0.5;
        float radius = max(length(q), 0.001);
        if (d < 0.05) {
            bandDepth = 0.05 - d;
            float gain = (1.0 - opacity) * bandDepth;
            vec3 wallColour = calcColor(opacity, radius);
            colour += opacity * colour * 0.2 / radius;
            colour += d * d * d;
            float weakOpacity = 0.2 * opacity;
            colour += wallColour * (weakOpacity / 0.8) * (1.0 - weakOpacity);
            colour += clamp(bandDepth * q.y * 0.15, -0.02, 0.0);
            opacity += gain + 0.005;
        }
        opacity += 1.0 / 70.0;
        // Fog thickens with distance: add what this step added to it.
        float fog = exp(0.25 * t - 1.25);
        colour += vec3(0.12) * clamp(fog - previousFog, 0.0, 1.0);
        previousFog = fog;
        d = max(d, 0.05);
        t += d;
    }
    float depth = distance(ro, q);

    colour *= mix(colour, 0.25 * base, 0.12);
    colour *= mix(colour * colour * 5.0, mix(vec3(0.7, 0.72, 0.75), vec3(0.8, 0.75, 0.9), rd.y * 0.4),
                  clamp(-opacity * 40.0 * rd.y * 0.03 - rd.y * 0.5, 0.0, 1.0));
    colour += clamp(1.0 - 6.0 * opacity + 0.13 * rd.y + 0.55, 0.0, 1.0) * 0.35 * mix(colour, vec3(1.0), 0.7);
    colour += clamp(opacity * rd.y * 0.15, -0.02, 0.0);
    colour *= 0.8 / exp(0.2 * bandDepth);
    colour = clamp(colour, 0.0, 1.0);
    colour = colour * colour * (3.0 - 2.0 * colour);
    return vec4(colour, depth);
}

void main()
{
    vec2 uv = gl_FragCoord.xy / resolution;
    if (cineScope(gl_FragCoord, resolution, 0.7)) {
        outColor0 = vec4(0.0, 0.0, 0.0, 1.0);
        return;
    }

    // Fly along the tunnel; scratch, when set, holds the position.
    vec3 ro = vec3(0.0, -0.25, (scratch > 0.0 ? scratch : time * 0.95) + mbzoom);
    vec3 lookAt = ro + vec3(0.1, 0.1, 0.5);
    ro.xy += path(ro.z);
    lookAt.xy += path(lookAt.z);
    vec3 forward = normalize(lookAt - ro);
    vec3 right = normalize(vec3(forward.z, 0.0, -forward.x));
    vec3 up = cross(forward, right);

    vec4 colour = vec4(0.0);
    for (int i = 0; i < AA; i++)
        for (int j = 0; j < AA; j++) {
            vec2 offset = vec2(float(i), float(j)) / float(AA) - 0.5;
            vec2 g = (2.0 * (gl_FragCoord.xy + offset) - resolution) / resolution.y;
            vec3 rd = normalize(forward + 0.5 * g.x * right + 0.5 * g.y * up);
            colour += trace(ro, rd);
        }
    colour /= float(AA * AA);

    colour.rgb = pow(colour.rgb, vec3(0.4545));
    colour = vignetteEffect(uv, colour);
    // For its first moments the scene fades in from scene 5's hand-over picture.
    vec3 fadeBase = scenetime < 0.05 ? texture(backBuffer2, uv).rgb : vec3(fadecolor);
    colour.rgb = fade(fadeBase, colour.rgb, fadetime);
    outColor1 = colour;

    // Light shafts from a point that drifts slowly from side to side.
    float decay = radialblur > 0.0 ? radialblur : 0.925 + 0.05 * sin(time * 0.05);
    float strength = radialblur > 0.0 ? radialblur : 0.7 + 0.1 * sin(time * 0.05);
    outColor0 = radialBlur(backBuffer1, uv, normalize(vec3(sin(time * 0.05), -0.1, -1.0)), time * 0.1, decay,
                           strength, 0.05);
}
