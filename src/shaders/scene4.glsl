#version 430
// Scene 4: twisted spiral strands in front of a low sun and a cellular sky; the screen shows light
// shafts streaming from the sun. It fades in from the picture the previous scene handed over.

layout(binding = 0) uniform sampler2D backBuffer0;
layout(binding = 1) uniform sampler2D backBuffer1;
layout(binding = 2) uniform sampler2D backBuffer2;
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
layout(location = 9) uniform float scenetime;
layout(location = 10) uniform float radialblur;

#include"common.inl"
#include"postprocess.inl"

#define AA 2

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

// Direction of the sun; set by every trace, read by the light shafts.
vec3 gSunPos = vec3(0.0);

// Applied as row vector times matrix: v.xz *= rotate2D(a).
mat2 rotate2D(float angle)
{
    return mat2(cos(angle), sin(angle), -sin(angle), cos(angle));
}

float hash1(vec2 v)
{
    return fract(sin(v.x + 131.1 * v.y) * 1751.5453);
}

float hash1(float v)
{
    return fract(sin(v) * 43758.5453);
}

vec2 hash2(vec2 v)
{
    return fract(sin(vec2(dot(v, vec2(127.1, 311.7)), dot(v, vec2(269.5, 183.3)))) * 43758.5453);
}

// Polar repetition with `sector` radians per copy; the angle is measured from the y axis.
vec2 modRotate(vec2 v, float sector)
{
    float angle = atan(v.x, v.y);
    angle = mod(angle - sector / 2.0, sector) - sector / 2.0;
    return vec2(cos(angle), sin(angle)) * length(v);
}

float sdSphere2D(vec2 v, float radius)
{
    return length(v) - radius;
}

// ---- The spiral strands --------------------------------------------------------------------

// Five helical strands twisted about the vertical, some tilted, thickening away from the middle
// and melted together.
float sdSpiral(vec3 p)
{
    // Two slowly turning strands close to the axis, widening below and above.
    vec3 v = p;
    v.xz *= rotate2D(time * 0.025);
    v.xz *= rotate2D(time * 0.045);
    v.xz *= rotate2D(v.y * 0.5);
    v.xz = modRotate(v.xz, PI);
    v.x -= 2.0 - abs(v.y - 1.0) * 0.3;
    float strand1 = sdSphere2D(v.xz, 0.4);

    // A tilted inner helix.
    v = p;
    v.xz *= rotate2D(PI / 2.0);
    v.xy *= rotate2D(PI / 3.0);
    v.xz *= rotate2D(time * 0.02);
    v.xz *= rotate2D(v.y * 0.4);
    v.xz = modRotate(v.xz, 3.4 * PI / 2.0);
    v.x -= 1.0 + abs(v.y) * 0.1;
    float strand2 = sdSphere2D(v.xz, 0.3 + abs(v.y) * 0.03);

    // Thin threads along the axis.
    v = p;
    v.xz *= rotate2D(time * 0.05);
    v.xz *= rotate2D(v.y * 0.4);
    v.xz = modRotate(v.xz, PI);
    v.x -= 1.0 + abs(v.y) * 0.1;
    float strand3 = sdSphere2D(v.xz, 0.1 + abs(v.y) * 0.03);

    // Two wide outer helices lying on their sides.
    v = p;
    v.xy *= rotate2D(PI / 2.0);
    v.xz *= rotate2D(PI / 2.0);
    v.xz *= rotate2D(v.y * 0.4);
    v.xz = modRotate(v.xz, PI);
    v.x -= 4.0 - abs(v.y - 1.0) * 0.3;
    float strand4 = sdSphere2D(v.xz, 0.3 + abs(v.y) * 0.03);

    v = p;
    v.xz *= rotate2D(PI / 3.0);
    v.xy *= rotate2D(PI / 2.0);
    v.xz *= rotate2D(PI / 3.0);
    v.xz *= rotate2D(v.y * 0.4);
    v.xz = modRotate(v.xz, 3.0 * PI / 2.0);
    v.x -= 4.0 - abs(v.y - 1.0) * 0.3;
    float strand5 = sdSphere2D(v.xz, 0.3 + abs(v.y) * 0.03);

    return smin(strand3, smin(strand2, smin(strand1, smin(strand4, strand5, 3.0), 3.0), 3.0), 3.0);
}

// The strands slowly turning about two axes, roughened by fine noise.
float map(vec3 p)
{
    p.z += 4.0;
    p = rotate(p, 1.0, 1.0, 0.0, mbrotate + 0.0025 * time);
    p = rotate(p, 1.0, 0.0, 1.0, mbrotate + 0.005 * time);
    return sdSpiral(p) + fbm(p * 50.0 + time * 1.5) * 0.45;
}

// Colour a band sample adds: dark slate turning black as the ray closes up.
vec3 calcColor(float opacity, float radius)
{
    return mix(vec3(0.1, 0.2, 0.3), vec3(0.01, 0.01, 0.01), opacity) *
           mix(0.17 * vec3(1.5, 1.6, 1.7), 0.25 * vec3(0.72, 0.74, 0.75), min((radius + 0.5) / 0.9, 1.15));
}

// ---- Cellular sky --------------------------------------------------------------------------

// Nearest of the moving feature points in the 5 x 5 cells around v: (distance, cell id, 1, gap to
// the second nearest).
vec4 voronoi(vec2 v)
{
    vec2 cell = floor(v);
    vec2 local = fract(v);
    vec3 best = vec3(8.0);
    float second = 8.0;
    for (int r = -2; r <= 2; r++) {
        for (int z = -2; z <= 2; z++) {
            vec2 neighbour = vec2(float(z), float(r));
            vec2 feature = 0.5 + 0.5 * sin(time * 0.025 + 6.2831 * hash2(cell + neighbour));
            vec2 toFeature = neighbour - local + feature;
            float dist = length(toFeature);
            if (dist < best.x) {
                second = best.x;
                best = vec3(dist, hash1(dot(cell + neighbour, vec2(7.0, 113.0))), 1.0);
            } else if (dist < second) {
                second = dist;
            }
        }
    }
    return vec4(best, max(second - 0.05 - best.x, 0.0));
}

// Raised cell interiors with soft rims: (height, gap to the cell border).
vec2 heightMap(vec2 v)
{
    float gap = voronoi(6.0 * v).w;
    float height = smoothstep(0.0, 1.0, (gap - 0.09) / (fwidth(gap) * 2.0)) * gap;
    height += (1.0 - smoothstep(0.0, 1.0, (gap - 0.22) / (fwidth(gap) * 3.0))) * height * 0.5;
    return vec2(height, gap);
}

// ---- The march -----------------------------------------------------------------------------

// Accumulates colour and opacity through the strands, then lights the sky or the strands by the
// sun. Returns the colour; the distance reached is not kept.
vec3 trace(vec3 ro, vec3 rd, vec2 jitterCoord)
{
    const float hitBand = 0.05;
    const float minimumStep = 0.05;
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
            opacity += gain + 0.005;
        }
        opacity += 1.0 / 70.0;
        vec2 w = vec2(jitterCoord.x * 280.0, jitterCoord.y * 120.0);
        float grain = texture(grayScaleNoiseTexture2D, vec2(w.y, -w.x + 0.5 * sin(4.0 * time + w.y * 4.0))).r;
        d = abs(d) * (0.8 + 0.08 * grain);
        d = max(d, minimumStep);
        t += d;
    }

    // A small hot sun, drifting sideways over time ("scratch" pushes it).
    gSunPos = normalize(vec3(scratch + 1.5 + sin(time * 0.05), -0.1, -1.0));
    vec3 sun = vec3(0.9, 0.8, 0.7) * pow(clamp(dot(rd, gSunPos), 0.0, 1.0), 192.0);

    if (t >= 50.0) {
        // Escaped: green-yellow cells with embossed rims, plus the sun.
        vec2 skyPoint = vec2(jitterCoord.x - time * 0.01, jitterCoord.y);
        vec4 cells = voronoi(5.0 * skyPoint);
        vec2 height = heightMap(skyPoint);
        vec2 heightAside = heightMap(skyPoint + 0.004);
        float emboss = max(heightAside.x - height.x, 0.0) * 16.0;
        col.r *= sqrt(clamp(1.0 - cells.x, 0.0, 1.0));
        col.g *= sqrt(clamp(1.0 - cells.y, 0.0, 1.0));
        col *= vec3(0.7, 1.0, 0.3) * pow(cells.w, 4.0) * 8.0;
        col += vec3(0.5, 0.7, 1.0) * (0.5 * emboss * emboss + 0.5 * pow(emboss, 4.0)) * 0.1 * rd.x;
        col += sun;
    } else {
        // Stopped in a strand: nearly black, lit by the sun from below, sunlit haze far away.
        col = mix(col, col * 0.01, 0.9);
        col *= mix(sun, vec3(0.8, 0.89, 0.9), clamp(-opacity * 10.0 * rd.y * 0.03, 0.0, 1.0));
        col = mix(col, sun, clamp(1.0 - 1.2 * exp(-0.0002 * t * t * t), 0.0, 1.0));
    }

    return col * 1.25 / exp(0.4 * bandDepth);
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

    // Orbit camera looking at the origin; the strands themselves move in map().
    vec3 eye = vec3(-10.0, 0.0, 10.0);
    mat3 camera = setCamera(eye, vec3(0.0), 0.0);

    // 2 x 2 supersampling. Alpha starts at 1 and ends as 1 / AA^2, as no depth is kept.
    vec4 colour = vec4(0.0, 0.0, 0.0, 1.0);
    for (int i = 0; i < AA; i++) {
        for (int j = 0; j < AA; j++) {
            vec2 offset = vec2(float(i), float(j)) / float(AA) - 0.5;
            vec2 screenPoint = (2.0 * (gl_FragCoord.xy + offset) - resolution) / resolution.y;
            vec3 rd = camera * normalize(vec3(screenPoint, 3.2 + mbzoom));
            colour.rgb += clamp(trace(eye, rd, uv), 0.0, 1.0);
        }
    }
    colour /= float(AA * AA);

    colour.rgb = pow(colour.rgb, vec3(0.4545));
    colour = vignetteEffect(uv, colour);
    // The scene's first moments fade in from the picture the tunnel left behind.
    vec3 fadeBase = scenetime < 0.11 ? texture(backBuffer2, uv).rgb : vec3(fadecolor);
    colour.rgb = fade(fadeBase, colour.rgb, fadetime);
    outColor1 = colour;

    // The screen shows the previous frame's picture with light shafts streaming from the sun.
    float decay = radialblur > 0.0 ? radialblur : 0.875 + 0.05 * sin(time * 0.05);
    float strength = radialblur > 0.0 ? radialblur : 0.6 + 0.1 * sin(time * 0.05);
    outColor0 = radialBlur(backBuffer1, uv, gSunPos, time * 0.1, decay, strength, 0.05);
}
