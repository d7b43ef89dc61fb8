#define SAMPLES 12
#define ANGLE_SAMPLES (3*SAMPLES)
#define OFFSET_SAMPLES (1*SAMPLES)
#define MAX_BLUR_SIZE 20.0
#define FAR 10.0

// Post-processing library of every scene: depth of field, vignette, radial blur, simplex noise
// and a video-glitch filter. The scenes run these one frame behind, on their previous outputs.

// Blur radius in pixels of a point at `depth` for the given focus.
float getBlurSize(float depth, float focusPoint, float focusScale)
{
    float circleOfConfusion = clamp((1.0 / focusPoint - 1.0 / depth) * focusScale, -1.0, 1.0);
    return abs(circleOfConfusion) * MAX_BLUR_SIZE;
}

vec2 rot2D(float radius, float degrees)
{
    float angle = degrees * 0.0174532925199433;
    return vec2(cos(angle) * radius, sin(angle) * radius);
}

// Gathers ANGLE_SAMPLES x OFFSET_SAMPLES taps around uv (depth in the alpha channel, scaled by
// FAR); weights grow with the square of the ring index. The tap step of each sample comes from
// the blur size of the sample before it and carries over from one angle to the next. The fourth
// argument is not used.
vec3 depthOfField(sampler2D tex, vec2 uv, float unused, float focusPoint, float focusScale, vec2 resolution)
{
    vec2 tapStep = 1.0 / resolution;
    vec3 colourSum = vec3(0.0);
    float weightSum = 0.0;
    float centreDepth = texture(tex, uv).w * FAR;
    float centreBlur = getBlurSize(centreDepth, focusPoint, focusScale);
    for (int a = 0; a < ANGLE_SAMPLES; a++) {
        float degrees = float(a) * (360.0 / float(ANGLE_SAMPLES));
        for (int i = 0; i < OFFSET_SAMPLES; i++) {
            float weight = float(i * i);
            vec4 tap = texture(tex, uv + tapStep * rot2D(float(i), degrees)) * weight;
            // The depth of the weighted tap, as the blur has always measured it.
            float tapDepth = tap.w * FAR;
            float tapBlur = getBlurSize(tapDepth, focusPoint, focusScale);
            if (tapDepth > centreDepth) tapBlur = clamp(tapBlur, 0.0, centreBlur * 2.0);
            tapStep = (1.0 / resolution) * (tapBlur * 0.05);
            colourSum += tap.xyz;
            weightSum += weight;
        }
    }
    return colourSum / weightSum;
}

// Darkens towards the edges: 1 in the middle, 0 on the border (alpha included).
vec4 vignetteEffect(vec2 uv, vec4 colour)
{
    float f = uv.x * uv.y * (1.0 - uv.x) * (1.0 - uv.y);
    f = clamp(pow(16.0 * f, 0.3), 0.0, 1.0);
    return colour * f;
}

// Streaks the picture away from `centre` (xy in -1..1) with 96 decaying taps, jittered per pixel.
vec4 radialBlur(sampler2D tex, vec2 uv, vec3 centre, float seed, float decay, float strength, float weight)
{
    vec2 fromCentre = uv - 0.5 - centre.xy * 0.45;
    vec2 tapStep = fromCentre * strength / 96.0;
    vec4 sum = texture(tex, uv) * 0.5;
    float jitter = fract(sin(dot(uv + fract(seed), vec2(41.0, 289.0))) * 45758.5453);
    uv += tapStep * (jitter * 2.0 - 1.0);
    for (int i = 0; i < 96; i++) {
        uv -= tapStep;
        sum += texture(tex, uv) * weight;
        weight *= decay;
    }
    sum *= 1.0 - dot(fromCentre, fromCentre) * 0.75;
    return smoothstep(0.0, 1.0, sum / 0.5);
}

vec3 mod289(vec3 v) { return v - floor(v * (1.0 / 289.0)) * 289.0; }
vec2 mod289(vec2 v) { return v - floor(v * (1.0 / 289.0)) * 289.0; }

vec3 permute(vec3 v) { return mod289((v * 34.0 + 1.0) * v); }

// Two-dimensional simplex noise, roughly in -1..1.
float snoise(vec2 v)
{
    const vec4 C = vec4(0.211324865405187,   // (3 - sqrt(3)) / 6
                        0.366025403784439,   // (sqrt(3) - 1) / 2
                        -0.577350269189626,  // -1 + 2 * C.x
                        0.024390243902439);  // 1 / 41
    // Skew into the simplex grid and find the corners of the triangle holding v.
    vec2 i = floor(v + dot(v, C.yy));
    vec2 x0 = v - i + dot(i, C.xx);
    vec2 i1 = x0.x > x0.y ? vec2(1.0, 0.0) : vec2(0.0, 1.0);
    vec4 x12 = x0.xyxy + C.xxzz;
    x12.xy -= i1;

    // Pseudo-random gradients at the three corners.
    i = mod289(i);
    vec3 p = permute(permute(i.y + vec3(0.0, i1.y, 1.0)) + i.x + vec3(0.0, i1.x, 1.0));
    vec3 m = max(0.5 - vec3(dot(x0, x0), dot(x12.xy, x12.xy), dot(x12.zw, x12.zw)), 0.0);
    m = m * m;
    m = m * m;
    vec3 x = 2.0 * fract(p * C.www) - 1.0;
    vec3 h = abs(x) - 0.5;
    vec3 ox = floor(x + 0.5);
    vec3 a0 = x - ox;
    m *= 1.79284291400159 - 0.85373472095314 * (a0 * a0 + h * h);

    vec3 g;
    g.x = a0.x * x0.x + h.x * x0.y;
    g.yz = a0.yz * x12.xz + h.yz * x12.yw;
    return 130.0 * dot(m, g);
}

// A worn video signal: rows torn sideways by noise, grey snow, darker bands of four pixel rows and
// green and blue pulled apart from red.
vec4 tvGlitch(sampler2D tex, vec2 fragCoord, vec2 uv, float t)
{
    float tear = max(0.0, snoise(vec2(t, uv.y * 0.3)) - 0.3) * (1.0 / 0.7);
    tear += (snoise(vec2(t * 10.0, uv.y * 2.4)) - 0.5) * 0.15;
    float x = uv.x - tear * tear * 0.25;
    vec4 colour = texture(tex, vec2(x, uv.y));

    float snow = fract(sin(dot(vec2(uv.y * t, uv.y * t), vec2(12.9898, 78.233))) * 43758.5453);
    colour.rgb = mix(colour.rgb, vec3(snow), tear * 0.3);

    if (floor(mod(fragCoord.y * 0.25, 2.0)) == 0.0) colour.rgb *= 1.0 - 0.15 * tear;

    colour.g = mix(colour.r, texture(tex, vec2(x + tear * 0.05, uv.y)).g, 0.25);
    colour.b = mix(colour.r, texture(tex, vec2(x - tear * 0.05, uv.y)).b, 0.25);
    return colour;
}
