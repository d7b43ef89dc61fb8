#version 430
// Scene 2: three crossed six-armed branch stars tumbling over a drifting pattern of cells.

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

// ---- Noise and hashes ----------------------------------------------------------------------

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

vec3 hash33(vec3 p)
{
    p = p * 733.424;
    p = fract(p * vec3(0.1031, 0.103, 0.0973));
    p += dot(p, p.yxz + 33.33);
    return fract((p.xxy + p.yxy) * p.zyx);
}

float hash13(vec3 p)
{
    p = fract(p * 14.1031);
    p += dot(p, p.yzx + 133.33);
    return fract((p.x + p.y) * p.z);
}

// Six-fold polar repetition: folds v into the sector around the +x direction.
vec2 opMod(vec2 v)
{
    float sector = 6.283184 / 6.0;
    float angle = atan(v.y, v.x);
    angle = mod(angle - sector / 2.0, sector) - sector / 2.0;
    return vec2(cos(angle), sin(angle)) * length(v);
}

// ---- The branch stars ----------------------------------------------------------------------

// One star: six tapering arms around the x axis, each ending in a knob.
float sdBranch(vec3 p)
{
    p.yz = opMod(p.yz);
    p.y -= 6.0;
    float arm = sdCylinder(p, (p.y + 12.0) * 0.05, 5.0);
    float knob = sdSphere(vec3(p.x, p.y - 5.0, p.z), 0.9);
    return smin(arm, knob, 0.05);
}

// Three stars turned a quarter turn against each other, melted onto a central ball.
float sdBranches(vec3 p)
{
    float first = sdBranch(p);
    float second = sdBranch(rotate(p, 1.0, 0.0, 1.0, 1.570796));
    float third = sdBranch(rotate(p, 1.0, 1.0, 0.0, 1.570796));
    return smin(sdSphere(p, 2.0), smin(third, smin(first, second, 0.5), 0.5), 0.9);
}

// The stars tumbling about three axes (held by "scratch" when it is set), roughened by fine noise.
float map(vec3 p)
{
    p.z += 4.0;
    float spin = scratch > 0.0 ? scratch : time * 0.0125;
    float fastSpin = scratch > 0.0 ? scratch : time * 0.075;
    p = rotate(p, 1.0, 1.0, 0.0, mbrotate + spin);
    p = rotate(p, 0.0, 1.0, 0.0, mbrotate + fastSpin);
    p = rotate(p, 0.0, 1.0, 1.0, mbrotate + spin);
    return sdBranches(p) + fbm(p * 50.0 + time * 1.8) * 0.45;
}

// Colour a band sample adds: pale blue-grey throughout, cooler near the core, warmer at the tips.
vec3 calcColor(float opacity, float radius)
{
    return mix(vec3(0.7, 0.8, 0.9), vec3(0.8, 0.85, 0.9), opacity) *
           mix(0.15 * vec3(1.75, 1.76, 1.97), 0.22 * vec3(0.99, 0.62, 0.55), min((radius + 2.5) / 1.5, 1.025));
}

// ---- Cell background -----------------------------------------------------------------------

// Brightness of 3D cells around p: bright near a cell's moving centre, with some cells left out.
vec4 voronoi3d(vec3 p, float scale)
{
    vec3 local = fract(p) - 0.5;
    vec3 cell = floor(p);
    float nearest = 8.0;
    for (int r = -1; r <= 1; r++) {
        for (int z = -1; z <= 1; z++) {
            for (int u = -1; u <= 1; u++) {
                vec3 neighbour = vec3(float(u), float(z), float(r));
                vec3 seed = hash33(cell + neighbour);
                float distanceToCentre =
                    max(length(local - neighbour - 0.5 * sin(time * 0.05 + 5.0 * seed)) / scale, 1e-8);
                if (hash13(seed) > 0.5 ? distanceToCentre < 1.0 : nearest > 1.0) nearest = distanceToCentre;
            }
        }
    }
    nearest = sqrt(nearest);
    return vec4(pow(1.0 / nearest, 1.2));
}

// The cell pattern at pixel P, sliding to the left over time and breathing in size.
float getBgColor(vec2 pixel)
{
    vec2 q = (pixel - 0.5 * resolution) / resolution.y * 36.0;
    q.x += time * 0.1;
    return voronoi3d(vec3(q, 0.0), 0.5 * sin(time * 0.001) + 0.5).w * 0.5 + 0.5;
}

// ---- The march -----------------------------------------------------------------------------

// Accumulates colour and opacity through the stars; the step is jittered per pixel by the noise
// texture. Returns the colour and the distance reached.
vec4 trace(vec3 ro, vec3 rd, vec2 jitterCoord)
{
    const float hitBand = 0.01;
    const float minimumStep = 0.035;
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
        // Escaped: blue-green cells, averaged over four points of the pixel.
        vec2 pixel = jitterCoord;
        float cells = (getBgColor(pixel + vec2(0.225, -0.675)) + getBgColor(pixel + vec2(0.675, 0.225)) +
                       getBgColor(pixel + vec2(-0.225, -0.675)) + getBgColor(pixel + vec2(-0.675, -0.225))) /
                      4.0;
        col *= vec3(0.4 * cells, 0.75 * cells, 0.88 * cells);
        col *= mix(col * 0.15, mix(vec3(0.65, 0.7, 0.75), vec3(0.7, 0.75, 0.9), rd.y * 0.25),
                   clamp(-opacity * 40.0 * rd.y * 0.03 - rd.y * 0.5, 0.0, 1.0));
        col = pow(col, vec3(0.65));
    } else {
        // Stopped in a star: soften, tint by the sideways direction and lift the thin edges.
        col = mix(col, col * 0.75, 0.5);
        col *= mix(col, mix(vec3(0.6, 0.65, 0.75), vec3(0.8, 0.85, 0.9), rd.y * 0.4),
                   clamp(opacity * 40.0 * rd.x * 0.03 - rd.x * 0.5, 0.0, 1.0));
        col += clamp(1.0 - opacity * 6.0 + rd.y * 0.13 + 0.55, 0.0, 1.0) * 0.35 * mix(col, vec3(1.0), 0.5);
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

    // Orbit camera looking at the origin; the stars themselves move in map().
    vec3 eye = vec3(-10.0, 0.0, 12.0);
    mat3 camera = setCamera(eye, vec3(0.0), 0.0);

    // 2 x 2 supersampling; the jitter follows the pixel grid here, not uv.
    vec4 colour = vec4(0.0);
    for (int i = 0; i < AA; i++) {
        for (int j = 0; j < AA; j++) {
            vec2 offset = vec2(float(i), float(j)) / float(AA) - 0.5;
            vec2 screenPoint = (2.0 * (gl_FragCoord.xy + offset) - resolution) / resolution.y;
            vec3 rd = camera * normalize(vec3(screenPoint, 3.2 + mbzoom));
            vec4 sampleColour = trace(eye, rd, gl_FragCoord.xy);
            sampleColour.rgb = clamp(sampleColour.rgb, 0.0, 1.0);
            colour += sampleColour;
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
