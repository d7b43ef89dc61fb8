#version 430
// Scene 7: a bent, spinning gyroid slab fused with a sphere, over layered cell clouds, with light
// shafts from the sun.

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
layout(location = 9) uniform float radialblur;

#define AA 2

#include"common.inl"
#include"postprocess.inl"

// Direction of the sun, set by every trace; the light shafts start from it.
vec3 gSunPos = vec3(0.0);

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

vec2 hash2(vec2 v)
{
    return fract(vec2(sin(591.32 * v.x + 1754.077 * v.y), cos(391.32 * v.x + 1949.077 * v.y)));
}

float rand(float v) { return fract(sin(v) * 43758.5453123); }

// Linear (not smoothed) value noise along one axis.
float noise1(float v)
{
    return mix(rand(floor(v)), rand(floor(v) + 1.0), fract(v));
}

// Bends p in the xy plane by an angle that grows with its height.
float opBend(inout vec3 p, float degrees)
{
    float w = radians(degrees) * p.y;
    p.xy = vec2(cos(w) * p.x + sin(w) * p.y, -sin(w) * p.x + cos(w) * p.y);
    return 0.0;
}

mat3 rotateY(float degrees)
{
    float a = radians(degrees);
    return mat3(vec3(cos(a), 0.0, -sin(a)), vec3(0.0, 1.0, 0.0), vec3(sin(a), 0.0, cos(a)));
}

mat3 rotateZ(float degrees)
{
    float a = radians(degrees);
    return mat3(vec3(cos(a), -sin(a), 0.0), vec3(sin(a), cos(a), 0.0), vec3(0.0, 0.0, 1.0));
}

// A thin gyroid sheet cut to a cube of half size 6, tumbling and bending.
float sdGyroid(vec3 p)
{
    mat3 spin = rotateY(0.2 * time) * rotateZ(-0.2 * time);
    vec3 q = -spin * (p + vec3(0.0, -1.5, 0.0));
    opBend(q, 7.0 * cos(time * 0.1));
    float sheet = dot(sin(q), cos(q.yzx));
    return max(abs(sheet) - 0.075, vecMax(abs(q)) - 6.0);
}

// The slab melted into a sphere, with a noisy skin.
float map(vec3 p)
{
    p.z += 4.0;
    p = rotate(p, 1.0, 1.0, 0.0, mbrotate + (scratch > 0.0 ? scratch : time * 0.0125));
    p = rotate(p, 0.0, 1.0, 1.0, mbrotate + (scratch > 0.0 ? scratch : time * 0.075));
    return smin(sdGyroid(p), sdSphere(p, 2.5), 0.5) + fbm(p * 50.0 + time * 1.8) * 0.45;
}

vec3 calcColor(float opacity, float radius)
{
    return mix(vec3(0.7, 0.8, 0.9), vec3(0.01, 0.05, 0.3), opacity) *
           mix(0.17 * vec3(1.5, 1.6, 1.7), 0.25 * vec3(0.82, 0.84, 0.75), min((radius + 0.5) / 0.9, 1.15));
}

// Distance to the nearest cell edge of a 3 x 3 neighbourhood of drifting cell centres.
float voronoi(vec2 v)
{
    vec2 cell = floor(v);
    vec2 inCell = fract(v);
    float nearest = 8.0;
    float second = 8.0;
    for (int row = -1; row <= 1; row++)
        for (int column = -1; column <= 1; column++) {
            vec2 m = vec2(float(column), float(row));
            vec2 centre = 0.5 + 0.5 * sin(time * 0.025 + 6.2831 * hash2(cell + m));
            vec2 u = m - inCell + centre;
            float g = dot(u, u);
            second = max(nearest, min(second, g));
            nearest = min(nearest, g);
        }
    nearest = sqrt(nearest);
    second = sqrt(second);
    return min(max(second - nearest, 0.001), 1.0);
}

// Four layers of cell clouds, ever finer and fainter; returns their brightness.
float cloudLayers(vec2 uv)
{
    vec2 p = vec2(uv.x + time * 0.005, uv.y);
    float brightness = 0.0;
    float amplitude = 0.9;
    float frequency = 1.0;
    float firstLayerGain = noise1(time * 0.002) * 0.5 + 0.24;
    for (int layer = 0; layer < 4; layer++) {
        float edge = voronoi(p * frequency + 5.0);
        if (layer > 0) {
            float coarseEdge = voronoi(p * frequency * 0.5 + 50.0 + time * 0.05);
            float rims = (1.0 - smoothstep(0.0, 1.0, edge / 0.1)) *
                         (0.5 + 1.0 - smoothstep(0.0, 1.0, coarseEdge / 0.08));
            brightness += amplitude * rims * rims;
        }
        edge = 1.0 - smoothstep(0.0, 1.0, edge / 0.3);
        float puff = amplitude * noise1(5.5 * edge + 0.1);
        brightness += layer == 0 ? puff * firstLayerGain : puff;
        frequency *= 3.0;
        amplitude *= 0.7;
    }
    return brightness;
}

// The accumulating march through the slab; returns the colour and the depth.
vec4 trace(vec3 ro, vec3 rd, vec2 uv)
{
    vec3 colour = vec3(0.27, 0.32, 0.37) + 0.1 * rd.y;
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
        if (d < 0.05) {
            bandDepth = 0.05 - d;
            float gain = (1.0 - opacity) * bandDepth;
            colour += calcColor(opacity, radius) * (opacity / 0.5) * (1.0 - opacity);
            colour += clamp(bandDepth * q.z * 0.15, -0.02, 0.0);
            opacity += gain + 0.005;
        }
        opacity += 1.0 / 70.0;
        // Jitter the step against banding.
        vec2 w = vec2(uv.x * 280.0, uv.y * 120.0);
        float jitter = texture(grayScaleNoiseTexture2D, vec2(w.y, -w.x + 0.5 * sin(4.0 * time + w.y * 4.0))).x;
        d = abs(d) * (0.8 + 0.08 * jitter);
        d = max(d, 0.03);
        t += d;
    }
    float depth = distance(ro, q);

    gSunPos = normalize(vec3(scratch + 1.5 + sin(time * 0.05), -0.1, -1.0));
    vec3 sun = vec3(0.9, 0.8, 0.7) * pow(clamp(dot(rd, gSunPos), 0.0, 1.0), 192.0);

    if (t >= 50.0) {
        // Sky: tinted cell clouds and the sun.
        float clouds = cloudLayers(uv);
        colour += hsv2rgb(vec3(0.1 + 0.9 * noise(0.2 * q), 0.6 + 0.4 * sin(time * 0.0001), 0.9)) * 0.2;
        colour *= vec3(pow(clouds, 6.5), pow(clouds, 4.5), pow(clouds, 3.2)) * 0.2;
        colour += sun;
    } else {
        // Slab: lit by the sun's colour, shaded by the sky above.
        colour = mix(colour, sun, 0.7);
        colour *= mix(colour * colour * 2.5, mix(vec3(0.1, 0.4, 0.75), vec3(0.8, 0.75, 0.9), rd.y * 0.4),
                      clamp(-opacity * 40.0 * rd.y * 0.03 - rd.y * 0.5, 0.0, 1.0));
        colour += clamp(opacity * rd.y * 0.15, -0.02, 0.0);
    }

    colour *= 1.25 / exp(0.4 * bandDepth);
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

    mat3 camera = setCamera(vec3(-10.0, 0.0, 12.0), vec3(0.0), 0.0);

    vec4 colour = vec4(0.0);
    for (int i = 0; i < AA; i++)
        for (int j = 0; j < AA; j++) {
            vec2 offset = vec2(float(i), float(j)) / float(AA) - 0.5;
            vec2 g = (2.0 * (gl_FragCoord.xy + offset) - resolution) / resolution.y;
            vec3 rd = camera * normalize(vec3(g, 3.2 + mbzoom));
            colour += trace(vec3(-10.0, 0.0, 12.0), rd, uv);
        }
    colour /= float(AA * AA);
    colour.rgb = clamp(colour.rgb, 0.0, 1.0);

    colour.rgb = pow(colour.rgb, vec3(0.4545));
    colour = vignetteEffect(uv, colour);
    colour.rgb = fade(vec3(fadecolor), colour.rgb, fadetime);
    outColor1 = colour;

    // Light shafts from the sun.
    float decay = radialblur > 0.0 ? radialblur : 0.925 + 0.05 * sin(time * 0.05);
    float strength = radialblur > 0.0 ? radialblur : 0.7 + 0.1 * sin(time * 0.05);
    outColor0 = radialBlur(backBuffer1, uv, gSunPos, time * 0.1, decay, strength, 0.05);
}
