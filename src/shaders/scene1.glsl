#version 430
// Scene 1: a cluster of soft metaballs, spinning slowly, over a plasma-like background.

layout(binding = 0) uniform sampler2D backBuffer0;
layout(binding = 1) uniform sampler2D backBuffer1;
layout(binding = 5) uniform sampler2D grayScaleNoiseTexture2D;
layout(binding = 8) uniform sampler3D colorNoiseTexture3D;

layout(location = 0) out vec4 outColor0;
layout(location = 1) out vec4 outColor1;

layout(location = 2) uniform vec2 resolution;
layout(location = 3) uniform float time;
layout(location = 4) uniform float mbrotate;
layout(location = 5) uniform float mbzoom;
layout(location = 6) uniform float scratch;
layout(location = 7) uniform float fadetime;
layout(location = 8) uniform float fadecolor;

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

// ---- The metaball cluster ------------------------------------------------------------------

// Radius of every ball. It grows a little at every call within one pixel, so the cluster swells
// from nothing at the start of the show to its full size.
float gScale = 0.0;

// Nineteen balls on slow Lissajous orbits: a tight core, a middle shell four units out and an
// outer shell seven units out, melted together.
float sdMetaball(vec3 p)
{
    float v = time * 0.001;
    gScale = min(gScale + time * 0.001, 2.0);
    vec3 orbitA = vec3(cos(0.3 * v), sin(2.9 * v), cos(1.1 * v));
    vec3 orbitB = vec3(cos(1.3 * v), sin(6.9 * v), cos(3.1 * v));
    vec3 centres[19] = vec3[](
        vec3(sin(1.1 * v), cos(1.3 * v), sin(1.7 * v)),
        -vec3(sin(0.3 * v), cos(2.9 * v), cos(1.1 * v)),
        vec3(cos(2.3 * v), cos(1.9 * v), sin(2.5 * v)),
        -orbitB,
        vec3(sin(5.3 * v), sin(7.9 * v), sin(5.5 * v)),
        4.0 * orbitA,
        4.0 * orbitB,
        -4.0 * orbitA,
        4.0 * vec3(sin(2.3 * v), cos(1.9 * v), sin(2.5 * v)),
        -4.0 * orbitB,
        4.0 * vec3(sin(5.3 * v), cos(7.9 * v), sin(5.5 * v)),
        orbitA,
        vec3(cos(1.3 * v), sin(6.9 * v), sin(3.1 * v)),
        -7.0 * orbitA,
        7.0 * vec3(sin(2.3 * v), cos(1.9 * v), cos(2.5 * v)),
        -7.0 * orbitB,
        7.0 * vec3(cos(5.3 * v), cos(7.9 * v), sin(5.5 * v)),
        7.0 * vec3(cos(2.3 * v), cos(8.9 * v), sin(6.5 * v)),
        7.0 * vec3(cos(4.3 * v), cos(9.9 * v), sin(8.5 * v)));
    float blob = sdSphere(p - centres[0], gScale);
    for (int i = 1; i < 19; i++) blob = smin(blob, sdSphere(p - centres[i], gScale), 0.5);
    return blob;
}

// The cluster turned about two axes (held by "scratch" when it is set) and roughened by fine noise.
float map(vec3 p)
{
    p.z += 4.0;
    float spinSlow = scratch > 0.0 ? scratch : time * 0.00625;
    float spinFast = scratch > 0.0 ? scratch : time * 0.0125;
    p = rotate(p, 1.0, 1.0, 0.0, mbrotate + spinSlow);
    p = rotate(p, 0.0, 1.0, 1.0, mbrotate + spinFast);
    return sdMetaball(p) + fbm(p * 50.0 + time * 1.5) * 0.45;
}

// Colour a band sample adds: pale when the ray is still clear, deep blue once it is nearly opaque;
// darker in the middle of the cluster than at its rim.
vec3 calcColor(float opacity, float radius)
{
    return mix(vec3(0.7, 0.8, 0.9), vec3(0.01, 0.05, 0.3), opacity) *
           mix(0.17 * vec3(1.5, 1.6, 1.7), 0.25 * vec3(0.82, 0.84, 0.75), min((radius + 0.5) / 0.9, 1.15));
}

// ---- Plasma background ---------------------------------------------------------------------

// Brightness of the wobbling caustic lines at v.
float squishyHighlight(vec2 v, float phase, float spread)
{
    vec2 q = v;
    float acc = 0.0;
    float contrast = mix(1.0, 6.0 + 2.5 * sin(phase), spread);
    for (int i = 0; i < 24; i++) {
        float n = phase * (1.0 - 3.5 / float(i + 1));
        q = v + vec2(cos(n - q.x) + sin(n + q.y), sin(n - q.y) + cos(n + q.x));
        acc += 1.0 / length(vec2(v.x / sin(q.x + n), v.y / cos(q.y + n)));
    }
    acc = 0.15 + acc / (0.005 * contrast * 24.0);
    acc = 1.17 - pow(acc, 1.4);
    acc = pow(abs(acc), 11.0) * abs(acc);
    return acc / sqrt(contrast);
}

// The plasma seen behind the cluster: caustic lines tinted by a slowly cycling palette, dark navy in
// the middle of the screen and brightest towards the corners.
vec3 bgSquishy(vec2 uv, vec3 rd)
{
    float edgeDistance = pow(2.0 * length(uv - 0.5), 0.95);
    vec2 plasmaPoint =
        mod(vec2((uv.x + time * 0.001) * resolution.x / resolution.y, uv.y) * TAU * 4.5, TAU) + 90.0;
    float phase = time * 0.01 + 23.0;
    float highlight =
        squishyHighlight(plasmaPoint, phase, smoothstep(0.0, 1.0, (edgeDistance - 0.4) / 2.0)) * 1.5;
    vec3 navy = vec3(0.015, 0.015, 0.14);
    vec3 palette = (vec3(0.8 * rd.x, 0.25, 0.86 * rd.y) +
                    vec3(0.25 * rd.x, 0.1, 0.5 * rd.y) *
                        cos(6.283185 * (vec3(0.5 * rd.x, 0.9, 0.7 * rd.y) * phase +
                                        vec3(0.45 * rd.x, 0.7, 0.25 * rd.y)))) *
                   5.0;
    vec3 plasma = clamp(highlight * palette + navy, 0.0, 1.0);
    return mix(navy, plasma, 0.2 + 0.8 * smoothstep(0.0, 1.0, (edgeDistance - 0.2) / 0.55));
}

// ---- The march -----------------------------------------------------------------------------

// Accumulates colour and opacity through the soft cluster; the step is jittered by the noise
// texture so the banding turns into fine grain. Returns the colour and the distance reached.
vec4 trace(vec3 ro, vec3 rd, vec2 jitterCoord)
{
    const float hitBand = 0.05;
    const float minimumStep = 0.03;
    vec3 col = vec3(0.17, 0.18, 0.19) + 0.1 * rd.y;
    float bandDepth = 0.0;
    float opacity = 0.0;
    float t = 0.0;
    float d = 0.0;
    vec3 q = vec3(0.0);
    for (int i = 0; i < 86 && t < 50.0; i++) {
        if (!(d >= 0.001 * t && opacity < 0.95)) break;
        q = ro + t * rd;
        d = map(q) * 0.65;
        float radius = max(length(q), 0.001);
        if (d < hitBand) {
            bandDepth = hitBand - d;
            float gain = (1.0 - opacity) * bandDepth;
            col += calcColor(opacity, radius) * (opacity / 0.5) * (1.0 - opacity);
            // Samples nearer the viewer than the cluster's middle darken a little.
            col += clamp(bandDepth * q.z * 0.15, -0.02, 0.0);
            opacity += gain + 0.005;
        }
        opacity += 1.0 / 70.0;
        vec2 w = vec2(jitterCoord.x * 280.0, jitterCoord.y * 120.0);
        float grain = texture(grayScaleNoiseTexture2D, vec2(w.y, -w.x + 0.5 * sin(4.0 * time + w.y * 4.0))).r;
        d = abs(d) * (0.8 + 0.08 * grain);
        d = max(d, minimumStep);
        t += d;
    }
    float depth = distance(ro, q);

    if (t >= 50.0) {
        // Escaped: the plasma shows through what the cluster left.
        col *= bgSquishy(jitterCoord, rd);
    } else {
        // Stopped in the cluster: darken, tint towards sky blue from below and lift the thin rims.
        col = mix(col, col * 0.25, 0.7);
        col *= mix(col * col * 2.5, mix(vec3(0.1, 0.4, 0.75), vec3(0.8, 0.75, 0.9), rd.y * 0.4),
                   clamp(-opacity * 40.0 * rd.y * 0.03 - rd.y * 0.5, 0.0, 1.0));
        col += clamp(1.0 - opacity * 6.0 + rd.y * 0.13 + 0.55, 0.0, 1.0) * 0.35 * mix(col, vec3(1.0), 0.7);
        col += clamp(opacity * rd.y * 0.15, -0.02, 0.0);
    }

    col *= 1.25 / exp(0.4 * bandDepth);
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

    // Orbit camera looking at the origin; the cluster itself moves in map().
    vec3 eye = vec3(-10.0, 0.0, 12.0);
    mat3 camera = setCamera(eye, vec3(0.0), 0.0);

    // 2 x 2 supersampling.
    vec4 colour = vec4(0.0);
    for (int i = 0; i < AA; i++) {
        for (int j = 0; j < AA; j++) {
            vec2 offset = vec2(float(i), float(j)) / float(AA) - 0.5;
            vec2 screenPoint = (2.0 * (gl_FragCoord.xy + offset) - resolution) / resolution.y;
            vec3 rd = camera * normalize(vec3(screenPoint, 3.2 + mbzoom));
            colour += trace(eye, rd, uv);
        }
    }
    colour /= float(AA * AA);

    colour.rgb = pow(colour.rgb, vec3(0.4545));
    colour = vignetteEffect(uv, colour);
    colour.rgb = fade(vec3(fadecolor), colour.rgb, fadetime);
    outColor1 = colour;

    // The screen shows the previous frame's picture through the depth of field.
    outColor0.rgb = depthOfField(backBuffer1, uv, 0.6, 88.0, (0.5 + 0.5 * sin(time * 0.1)) * 50.0, resolution);
    outColor0.a = 1.0;
}
