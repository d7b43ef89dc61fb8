#version 430
// Scene 5: a flight through layered gyroid foam, shown through depth of field. Its last picture is
// left in attachment 2 for scene 6 to fade in from.

layout(binding = 0) uniform sampler2D backBuffer0;
layout(binding = 1) uniform sampler2D backBuffer1;
layout(binding = 2) uniform sampler2D backBuffer2;
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
layout(location = 11) uniform float radialblur;
layout(location = 12) uniform float cameraposz;

#define AA 1

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

// One gyroid sheet of scale `scale`, half thickness `thickness`, offset from the zero level by
// `bias`; its two frequencies breathe slowly with time.
float sdGyroid(vec3 p, float scale, float thickness, float bias)
{
    vec3 n = p * scale;
    float sinFrequency = 0.25 + sin(time * 0.00576) * 0.5 * 0.25 * 0.125;
    float cosFrequency = 0.6 + cos(time * 0.00265) * 0.5 * 0.25 * 0.25;
    return abs(dot(sin(n * sinFrequency), cos(n.yxz * cosFrequency)) - bias) /
           (scale * max(sinFrequency, cosFrequency)) - thickness;
}

// A coarse sheet carved and roughened by twelve ever finer, ever weaker layers: the foam.
float sdGyroids(vec3 p)
{
    float scale = 5.798;
    float weight = 0.5;
    float thickness = 0.45 * sin(time * 0.01);
    float bias = 0.23 + 1.5 * sin(time * 0.001);
    float e = sdGyroid(p, 1.345 + 0.253 * cos(time * 0.001) + (0.5 * sin(time * 0.001) + 0.5), 0.03, 1.5);
    for (int layer = 0; layer < 12; layer++) {
        // The first two layers cut holes, the rest add crust.
        if (layer <= 1)
            e -= sdGyroid(p, scale, thickness, bias) * weight;
        else
            e += sdGyroid(p, scale, thickness, bias) * weight;
        scale *= 1.75;
        weight *= 0.75;
    }
    return 0.7 * e;
}

vec3 calcColor(float opacity, float radius)
{
    return mix(vec3(0.7, 0.8, 0.9), vec3(0.01, 0.05, 0.3), opacity) *
           mix(0.57 * vec3(1.5, 1.6, 1.7), 0.55 * vec3(0.82, 0.84, 0.75), min((radius + 0.5) / 0.9, 1.15));
}

// The winding, sinking flight path.
vec2 path(float z)
{
    return vec2((sin(z / 12.0) + cos(z / 6.0)) * 6.0, -z);
}

// The foam with a noisy skin; `detail` (2 to 5) adds finer noise octaves near the camera.
float map(vec3 p, int detail)
{
    p.z += 4.0;
    float n = sdGyroids(p) + fbm(p * 50.0 + time * 1.5) * 0.45;
    if (detail >= 2) n += 0.25 * noise(p);
    p *= 2.23;
    if (detail >= 3) n += 0.125 * noise(p);
    p *= 2.41;
    if (detail >= 4) n += 0.0625 * noise(p);
    p *= 2.62;
    if (detail >= 5) n += 0.03125 * noise(p);
    return n;
}

// Accumulates two colourings of the foam along the ray: a hue-shifting tint and a shaded one.
// With scratch above 0 the picture blends from the tint towards the shading.
vec4 trace(vec3 ro, vec3 rd, vec2 jitterCoord)
{
    vec3 base = vec3(0.002, 0.003, 0.003) + 0.0001 * rd.y;
    vec3 tinted = base;
    vec3 shaded = base;
    float bandDepth = 0.0;
    float opacity = 0.0;
    float t = 0.0;
    float d = 0.0;
    vec3 q = vec3(0.0);
    for (int i = 0; i < 64 && t < 50.0; i++) {
        if (!(d >= 0.001 * t && opacity < 0.95)) break;
        q = ro + t * rd;
        int detail = 5 - int(log2(1.0 + 0.5 * t));
        d = map(q, detail) * 0.5;
        float radius = max(length(q), 0.001);
        if (d < 0.05) {
            bandDepth = 0.05 - d;
            float gain = (1.0 - opacity) * bandDepth;
            tinted += gain * hsv2rgb(vec3(0.1 + 0.9 * noise(0.2 * q), 0.6 + 0.4 * sin(time * 0.0001), 0.9));
            shaded += calcColor(opacity, radius) * (opacity / 0.5) * (1.0 - opacity);
            opacity += gain + 0.005;
        }
        opacity += 1.0 / 70.0;
        // Jitter the step against banding.
        vec2 w = vec2(jitterCoord.x * 280.0, jitterCoord.y * 120.0);
        float jitter = texture(grayScaleNoiseTexture2D, vec2(w.y, -w.x + 0.5 * sin(4.0 * time + w.y * 4.0))).x;
        d = abs(d) * (0.8 + 0.08 * jitter);
        d = max(d, 0.05);
        t += d;
    }

    vec3 colour;
    if (scratch <= 0.0) {
        // Far foam sinks into the dark base.
        colour = mix(tinted, base, clamp(1.0 - 1.2 * exp(-0.0002 * t * t * t), 0.0, 1.0));
    } else {
        shaded = mix(shaded, 0.15 * base, 0.5);
        shaded *= mix(shaded * shaded * 2.5, mix(vec3(0.2, 0.4, 0.75), vec3(0.8, 0.75, 0.9), rd.y * 0.4),
                      clamp(-opacity * 40.0 * rd.y * 0.03 - rd.y * 0.5, 0.0, 1.0));
        shaded += clamp(1.0 - 6.0 * opacity + 0.13 * rd.y + 0.55, 0.0, 1.0) * 0.35 * mix(shaded, vec3(1.0), 0.7);
        shaded += clamp(opacity * rd.y * 0.15, -0.02, 0.0);
        colour = mix(tinted, shaded, scratch);
    }
    colour *= 1.25 / exp(0.4 * bandDepth);
    return vec4(clamp(colour, 0.0, 1.0), 1.0);
}

void main()
{
    vec2 uv = gl_FragCoord.xy / resolution;
    if (cineScope(gl_FragCoord, resolution, 0.7)) {
        outColor0 = vec4(0.0, 0.0, 0.0, 1.0);
        return;
    }

    // Follow the path; cameraposz, when set, places the camera instead of the clock.
    vec3 ro = vec3(0.0, 0.0, cameraposz != 0.0 ? cameraposz : time * 0.2);
    vec3 lookAt = ro + vec3(0.0, 0.1, 0.5);
    ro.xy += path(ro.z);
    lookAt.xy += path(lookAt.z);
    float zoom = 0.5 + mbzoom;
    vec3 forward = normalize(lookAt - ro);
    vec3 right = normalize(vec3(mbrotate + forward.z, 0.0, mbrotate - forward.x));
    vec3 up = cross(forward, right);

    // Starts with alpha 1, so the single sample leaves alpha 2 before the vignette.
    vec4 colour = vec4(0.0, 0.0, 0.0, 1.0);
    for (int i = 0; i < AA; i++)
        for (int j = 0; j < AA; j++) {
            vec2 offset = vec2(float(i), float(j)) / float(AA) - 0.5;
            vec2 g = (2.0 * (gl_FragCoord.xy + offset) - resolution) / resolution.y;
            vec3 rd = normalize(forward + zoom * g.x * right + zoom * g.y * up);
            colour += trace(ro, rd, uv);
        }
    colour /= float(AA * AA);

    colour.rgb = pow(colour.rgb, vec3(0.4545));
    colour = vignetteEffect(uv, colour);
    colour.rgb = fade(vec3(fadecolor), colour.rgb, fadetime);

    outColor1 = colour;
    // The hand-over picture for scene 6.
    if (scenetime >= 0.99) outColor2 = colour;

    outColor0.rgb = depthOfField(backBuffer1, uv, 0.6, 88.0, (0.5 + 0.5 * sin(time * 0.1)) * 50.0, resolution);
    outColor0.a = 1.0;
}
