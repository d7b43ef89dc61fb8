#version 430
// Scene 8: eleven solids morphing one into the next, drawn twice per frame (a lit surface and an
// accumulated volume) and shown as a mix of the two, with the credits scrolling over them.

layout(binding = 0) uniform sampler2D backBuffer0;
layout(binding = 1) uniform sampler2D backBuffer1;
layout(binding = 2) uniform sampler2D backBuffer2;
layout(binding = 4) uniform sampler2D fontTexture;
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
layout(location = 10) uniform float radialblur;
layout(location = 11) uniform float sectiontime;
layout(location = 12) uniform int textsection;
layout(location = 13) uniform float morphingtime1;
layout(location = 14) uniform float morphingtime2;
layout(location = 15) uniform int shape;

// Samples per axis of the surface pass and of the volume pass.
#define AA1 2
#define AA2 1

// Advance per character, in glyph cells.
#define CHARPOS_X 0.5

#include"common.inl"
#include"postprocess.inl"

// Character codes of the text sections.
#define _rt 10.0 // line break
#define _sp 32.0
#define _hf 45.0 // -
#define _pi 46.0 // .
#define _sl 47.0 // /
#define _0 48.0
#define _1 49.0
#define _2 50.0
#define _3 51.0
#define _4 52.0
#define _5 53.0
#define _6 54.0
#define _7 55.0
#define _8 56.0
#define _9 57.0
#define _A 65.0
#define _B 66.0
#define _C 67.0
#define _D 68.0
#define _E 69.0
#define _F 70.0
#define _G 71.0
#define _H 72.0
#define _I 73.0
#define _J 74.0
#define _K 75.0
#define _L 76.0
#define _M 77.0
#define _N 78.0
#define _O 79.0
#define _P 80.0
#define _Q 81.0
#define _R 82.0
#define _S 83.0
#define _T 84.0
#define _U 85.0
#define _V 86.0
#define _W 87.0
#define _X 88.0
#define _Y 89.0
#define _Z 90.0
#define _a 97.0
#define _b 98.0
#define _c 99.0
#define _d 100.0
#define _e 101.0
#define _f 102.0
#define _g 103.0
#define _h 104.0
#define _i 105.0
#define _j 106.0
#define _k 107.0
#define _l 108.0
#define _m 109.0
#define _n 110.0
#define _o 111.0
#define _p 112.0
#define _q 113.0
#define _r 114.0
#define _s 115.0
#define _t 116.0
#define _u 117.0
#define _v 118.0
#define _w 119.0
#define _x 120.0
#define _y 121.0
#define _z 122.0

// The four text sections: title card, credits, greetings and the closing line. Each line's text
// stands above its codes; code 10.0 breaks the line and 255.0 ends the section.
const float textsSection01[69] = float[](
    // "      Varnholt Presents"
    _sp, _sp, _sp, _sp, _sp, _sp, _V, _a, _r, _n, _h, _o, _l, _t, _sp, _P, _r, _e, _s, _e, _n, _t, _s, _rt,
    // "     Field Studies No.1"
    _sp, _sp, _sp, _sp, _sp, _F, _i, _e, _l, _d, _sp, _S, _t, _u, _d, _i, _e, _s, _sp, _N, _o, _pi, _1, _rt,
    // "         - Quorlax -"
    _sp, _sp, _sp, _sp, _sp, _sp, _sp, _sp, _sp, _hf, _sp, _Q, _u, _o, _r, _l, _a, _x, _sp, _hf,
    255.0);

const float textsSection02[42] = float[](
    // "Engine/Code."
    _E, _n, _g, _i, _n, _e, _sl, _C, _o, _d, _e, _pi, _rt,
    // " VH"
    _sp, _V, _H, _rt,
    // ""
    _rt,
    // "Visual."
    _V, _i, _s, _u, _a, _l, _pi, _rt,
    // " VH"
    _sp, _V, _H, _rt,
    // ""
    _rt,
    // "Music."
    _M, _u, _s, _i, _c, _pi, _rt,
    // " VH"
    _sp, _V, _H,
    255.0);

const float textsSection03[99] = float[](
    // "Greeting."
    _G, _r, _e, _e, _t, _i, _n, _g, _pi, _rt,
    // "   Mesa"
    _sp, _sp, _sp, _M, _e, _s, _a, _rt,
    // "   SDL"
    _sp, _sp, _sp, _S, _D, _L, _rt,
    // "   FreeType"
    _sp, _sp, _sp, _F, _r, _e, _e, _T, _y, _p, _e, _rt,
    // "   libpng"
    _sp, _sp, _sp, _l, _i, _b, _p, _n, _g, _rt,
    // "   GCC"
    _sp, _sp, _sp, _G, _C, _C, _rt,
    // "   LLVM"
    _sp, _sp, _sp, _L, _L, _V, _M, _rt,
    // "   CMake"
    _sp, _sp, _sp, _C, _M, _a, _k, _e, _rt,
    // "   Ninja"
    _sp, _sp, _sp, _N, _i, _n, _j, _a, _rt,
    // "   Debian"
    _sp, _sp, _sp, _D, _e, _b, _i, _a, _n, _rt,
    // "   Linux"
    _sp, _sp, _sp, _L, _i, _n, _u, _x,
    255.0);

const float textsSection04[23] = float[](
    // "         Quorlax 2026."
    _sp, _sp, _sp, _sp, _sp, _sp, _sp, _sp, _sp, _Q, _u, _o, _r, _l, _a, _x, _sp, _2, _0, _2, _6, _pi,
    255.0);

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

// ---- The solids ----------------------------------------------------------------------------

vec2 rotate2D(vec2 v, float angle)
{
    return v * mat2(cos(angle), sin(angle), -sin(angle), cos(angle));
}

// Six-fold polar repetition about the origin.
vec2 opMod(vec2 v)
{
    float sector = 6.283184 / 6.0;
    float angle = atan(v.y, v.x);
    angle = mod(angle - sector / 2.0, sector) - sector / 2.0;
    return vec2(cos(angle), sin(angle)) * length(v);
}

// Six tapering arms with knobs at their ends.
float sdBranch(vec3 p)
{
    p.yz = opMod(p.yz);
    p.y -= 6.0;
    return smin(sdCylinder(p, (p.y + 12.0) * 0.05, 5.0), sdSphere(vec3(p.x, p.y - 5.0, p.z), 0.9), 0.05);
}

// Three crossed six-armed stars around a ball.
float sdBranches(vec3 p)
{
    float first = sdBranch(p);
    float second = sdBranch(rotate(p, 1.0, 0.0, 1.0, 1.570796));
    float third = sdBranch(rotate(p, 1.0, 1.0, 0.0, 1.570796));
    return smin(sdSphere(p, 2.0), smin(third, smin(first, second, 0.5), 0.5), 0.9);
}

// Folds space into the fundamental domain of an icosahedral mirror group.
vec3 vecFold(vec3 p)
{
    vec3 n = vec3(-0.5, -0.809017, 0.309017);
    for (int i = 0; i < 5; i++) {
        p.xy = abs(p.xy);
        p -= 2.0 * min(0.0, dot(p, n)) * n;
    }
    return p - vec3(1.0, 0.02, 1.275);
}

// A spiky crystal cluster from repeated folds.
float sdCrystal(vec3 p)
{
    vec3 v = vecFold(0.5 * p);
    float e = dot(v, normalize(sign(v))) - 0.03 - sin(0.8 * v.y) * 1.6 - sin(0.7 * v.y);
    e += min(v.x, abs(0.3 * v.y));
    v = vecFold(v) - vec3(0.2, 0.0, -0.1);
    v = vecFold(v) - vec3(0.1, 0.1, 0.05);
    e += cos(0.27 * v.y) * 4.0 * sin(0.15 * v.y) * 1.5;
    return (0.5 * e) / 0.5;
}

// Eight ever smaller rounded boxes, each folded and turned against the last.
float sdFractal(vec3 p)
{
    vec3 halfSize = vec3(1.5);
    float f = sdRoundBox(p, halfSize, 1.5);
    for (int i = 0; i < 8; i++) {
        float e = time * 0.02;
        p.xz = rotate2D(p.xz, 1.15 * e);
        p.xy = rotate2D(p.xy, 1.89 * e);
        p.xz = abs(p.xz);
        p.xz -= 0.5 - 0.25 * sin(time * 0.1);
        f = min(f, sdRoundBox(p, halfSize, 1.5));
        halfSize -= 0.1;
    }
    return f;
}

// A ball of radius 6 whose skin is divided into drifting tiles that swell and sink.
float sdSphecalDivision(vec3 p)
{
    float swell = 0.5 * sin(time * 0.0225) + 0.5;
    vec4 f = vec4(p, 1.0);
    vec2 s = f.xz * 7.5;
    f.xy += sdRoundBox(p, vec3(0.25), 1.0);
    s = s / f.y + time * 0.1;
    s.x *= 0.577;
    s += s.x;
    f.xy += floor(s);
    s -= f.xy;
    f.z = 0.5 + 0.5 * sin(time * 0.1);
    f = 0.5 + 0.5 * sin(f);
    return length(p) - 6.0 + smoothstep(0.0, 1.0, swell * (f.x + f.y + f.z));
}

// A sponge of three folding levels, turning slowly.
float sdMenger(vec3 p)
{
    float size = 3.0;
    for (int i = 0; i < 3; i++) {
        p = rotate(p, 0.0, 1.0, 0.0, time * 0.01);
        p = rotate(p, 1.0, 0.0, 0.0, 0.025 * time);
        p = rotate(p, 0.0, 0.0, 1.0, 0.005 * sin(time));
        p = abs(p);
        if (p.y > p.x) p.xy = p.yx;
        if (p.z > p.y) p.yz = p.zy;
        if (p.z > 0.5 * size)
            p -= vec3(size);
        else
            p -= vec3(size, size, 0.0);
        size /= 3.0;
    }
    return sdRoundBox(p, vec3(size), 0.25 * size);
}

// A capped cylinder along z.
float sdSignedCylinder(vec3 p, float radius, float halfHeight)
{
    vec2 s = abs(vec2(length(p.xy), p.z)) - vec2(radius, halfHeight);
    return min(max(s.x, s.y), 0.0) + length(max(s, 0.0));
}

// Polar repetition into `count` sectors, turned by `offset`.
vec2 opModPolar(vec2 v, float offset, float count)
{
    float sector = 6.28 / count;
    float halfSector = sector / 2.0;
    return sin(mod(atan(v.y, v.x) + offset + halfSector, sector) - halfSector + vec2(1.57, 0.0)) * length(v);
}

// A gear of sixteen teeth with a bore.
float sdGear(vec3 p)
{
    return max(sdSignedCylinder(p, 1.0 + 0.1 * sin(16.0 * atan(p.y, p.x)), 0.13),
               -sdSignedCylinder(p, 0.6, 0.5));
}

// A ball ringed by two wheels of turning gears.
float sdGears(vec3 p)
{
    float w = time * 0.025;
    float c = cos(w);
    float s = sin(w);
    float core = sdSphere(p / 2.5, 1.25) * 2.5;

    vec3 f = p;
    f.xz = opModPolar(f.xz, 0.52, 12.0) - vec2(1.25, 0.0);
    f.xy = f.xy * mat2(c, -s, s, c);
    f.xy = f.yx;
    float innerRing = sdGear(f / 2.5) * 2.5;

    f = p;
    f.xz = opModPolar(f.xz, 0.26, 8.0) - vec2(4.0, 0.0);
    f.xy = f.xy * mat2(c, -s, s, c);
    f.xy = f.yx;
    float outerRing = sdGear(f / 2.5) * 2.5;

    return smin(smin(core, innerRing, 0.75), outerRing, 0.25) - 0.0125;
}

// The morph sequence: `shape` k blends solid k into solid k + 1.
float sdSolid(int index, vec3 p)
{
    switch (index) {
    case 0: return sdSphere(p, 5.0);
    case 1: return sdBox(p, vec3(5.0));
    case 2: return sdRoundBox(p, vec3(5.0), 1.5);
    case 3: return sdOctahedron(p, 5.0, 5.0);
    case 4: return sdDodecahedron(p, 5.0, 15.0);
    case 5: return sdGears(p);
    case 6: return sdSphecalDivision(p);
    case 7: return sdHexagonIncircle(p, vec2(5.0));
    case 8: return sdFractal(p);
    case 9: return sdCrystal(p);
    case 10: return sdMenger(p);
    case 11: return sdBranches(p);
    }
    return 0.0;
}

// The current pair of solids, blended by morphingtime1, slowly tumbling. Not exact: with a noisy
// skin, as the volume pass sees it.
float map(vec3 p, bool exact)
{
    p.z += 4.0;
    p = rotate(p, 1.0, 1.0, 0.0, time * 0.00625);
    p = rotate(p, 0.0, 1.0, 1.0, time * 0.0125);
    if (shape < 0 || shape > 10) return 0.0;
    float from = sdSolid(shape, p);
    float to = sdSolid(shape + 1, p);
    if (!exact) {
        float skin = fbm(p * 50.0 + time * 1.5) * 0.45;
        from += skin;
        to += skin;
    }
    return mix(from, to, morphingtime1);
}

vec3 calcColor(float opacity, float radius)
{
    return mix(vec3(0.7, 0.8, 0.9), vec3(0.01, 0.05, 0.3), opacity) *
           mix(0.17 * vec3(1.5, 1.6, 1.7), 0.25 * vec3(0.82, 0.84, 0.75), min((radius + 0.5) / 0.9, 1.15));
}

// ---- Lighting ------------------------------------------------------------------------------

vec3 calcNormal(vec3 p, bool exact)
{
    const vec3 e0 = 0.5773 * vec3(1.0, -1.0, -1.0);
    const vec3 e1 = 0.5773 * vec3(-1.0, -1.0, 1.0);
    const vec3 e2 = 0.5773 * vec3(-1.0, 1.0, -1.0);
    const vec3 e3 = 0.5773 * vec3(1.0, 1.0, 1.0);
    return normalize(e0 * map(p + 0.0005 * e0, exact) + e1 * map(p + 0.0005 * e1, exact) +
                     e2 * map(p + 0.0005 * e2, exact) + e3 * map(p + 0.0005 * e3, exact));
}

// Ambient occlusion from five samples along the normal, darker facing down.
float calcAO(vec3 p, vec3 n, bool exact)
{
    float occlusion = 0.0;
    float weight = 1.0;
    for (int i = 0; i < 5; i++) {
        float h = 0.01 + 0.12 * float(i) / 4.0;
        occlusion += (h - map(p + h * n, exact)) * weight;
        weight *= 0.95;
        if (occlusion > 0.35) break;
    }
    return clamp(1.0 - 3.0 * occlusion, 0.0, 1.0) * (0.5 + 0.5 * n.y);
}

float softshadow(vec3 p, vec3 lightDirection)
{
    float shadow = 1.0;
    float t = 0.02;
    for (int i = 0; i < 16; i++) {
        float h = map(p + lightDirection * t, true);
        shadow = min(shadow, 8.0 * h / t);
        t += clamp(h, 0.02, 0.1);
        if (h < 0.001 || t > 2.5) break;
    }
    return clamp(shadow, 0.0, 1.0);
}

// A glassy, studio-lit surface at the hit point: reflection and refraction of the environment,
// a warm key light with soft shadows, a sky dome, a back light and ambient occlusion.
vec3 shadeSurface(vec3 hit, vec3 rd)
{
    vec3 normal = calcNormal(hit, true);
    vec3 reflected = reflect(rd, normal);
    vec3 refracted = refract(rd, normal, 0.7);
    float occlusion = calcAO(hit, normal, true);
    vec3 environment = sampleEnvMap(reflected, 0.97) * 0.45 + sampleEnvMap(refracted, 0.97) * 0.8 +
                       pow(0.6, 15.0);

    vec3 lightDirection = normalize(vec3(sin(time * 0.01), 0.4, cos(time * 0.01)));
    vec3 halfVector = normalize(lightDirection - rd);
    float diffuse = clamp(dot(normal, lightDirection), 0.0, 1.0);
    float specular = pow(clamp(dot(normal, halfVector), 0.0, 1.0), 32.0) * diffuse *
                     (0.04 + 0.96 * pow(clamp(1.0 - dot(halfVector, lightDirection), 0.0, 1.0), 5.0));
    float dome = smoothstep(0.0, 1.0, (reflected.y + 0.1) / 0.2);
    vec3 colour = environment * 2.2 * diffuse * vec3(0.8, 0.5, 0.7) + 5.0 * specular * vec3(0.8, 0.5, 0.7);

    diffuse *= softshadow(hit, lightDirection);
    dome *= softshadow(hit, reflected);
    float rim = clamp(1.0 + dot(normal, rd), 0.0, 1.0);
    vec3 light = 1.2 * diffuse * vec3(1.0, 0.9, 0.6);
    light += 1.2 * specular * vec3(1.0, 0.9, 0.6) * diffuse;
    light += 0.4 * rim * rim * occlusion;
    light += 0.4 * dome * vec3(0.5, 0.7, 1.0) * occlusion;
    light += clamp(dot(normal, normalize(vec3(-lightDirection.x, 0.0, -lightDirection.z))), 0.0, 1.0) *
             clamp(1.0 - hit.y, 0.0, 1.0) * 0.3 * 0.25 * occlusion;
    light += 0.02;
    colour *= light;
    colour += environment * 0.25 * rim * rim * occlusion;
    return colour;
}

// Surface mode (exact): march to the solid and light it; black where nothing is hit. Volume mode:
// accumulate the noisy solid as a glowing cloud.
vec3 raycast(vec3 ro, vec3 rd, vec2 uv, bool exact)
{
    vec3 colour = vec3(0.0);
    float bandDepth = 0.0;
    float opacity = 0.0;
    float t = 0.0;
    float d = 0.0;
    if (exact) {
        for (int i = 0; i < 86 && t < 50.0; i++) {
            d = map(ro + t * rd, true);
            if (abs(d) < 0.0001 * t) break;
            t += d;
        }
    } else {
        for (int i = 0; i < 86 && t < 50.0; i++) {
            if (!(d >= 0.001 * t && opacity < 0.95)) break;
            vec3 q = ro + t * rd;
            d = map(q, false) * 0.65;
            float radius = max(length(q), 0.001);
            if (d < 0.05) {
                bandDepth = 0.05 - d;
                float gain = (1.0 - opacity) * bandDepth;
                colour += calcColor(opacity, radius) * (opacity / 0.5) * (1.0 - opacity);
                opacity += gain + 0.005;
            }
            opacity += 1.0 / 70.0;
            // Jitter the step against banding.
            vec2 w = vec2(uv.x * 280.0, uv.y * 120.0);
            float jitter =
                texture(grayScaleNoiseTexture2D, vec2(w.y, -w.x + 0.5 * sin(0.4 * time + w.y * 4.0))).x;
            d = abs(d) * (0.8 + 0.08 * jitter);
            d = max(d, 0.03);
            t += d;
        }
    }

    float fog = clamp(1.0 - 1.2 * exp(-0.0002 * t * t * t), 0.0, 1.0);
    if (t >= 50.0) {
        colour *= 1.0 - fog;
    } else if (exact) {
        if (abs(d) <= 0.001 * t) colour = shadeSurface(ro + t * rd, rd) * (1.0 - fog);
    } else {
        colour = mix(colour, 0.25 * colour, 0.7);
        colour *= mix(colour * colour * 2.5, mix(vec3(0.1, 0.4, 0.75), vec3(0.8, 0.75, 0.9), rd.y * 0.4),
                      clamp(-opacity * 40.0 * rd.y * 0.03 - rd.y * 0.5, 0.0, 1.0));
        colour += clamp(1.0 - 6.0 * opacity + 0.13 * rd.y + 0.55, 0.0, 1.0) * 0.35 * mix(colour, vec3(1.0), 0.7);
        colour += clamp(opacity * rd.y * 0.15, -0.02, 0.0);
    }
    return colour * 1.25 / exp(0.4 * bandDepth);
}

// ---- Text ----------------------------------------------------------------------------------

// Code `index` of the section textsection selects; 255.0 (the end) for any other section.
float textCode(int index)
{
    switch (textsection) {
    case 0: return textsSection01[min(index, 68)];
    case 1: return textsSection02[min(index, 41)];
    case 2: return textsSection03[min(index, 98)];
    case 3: return textsSection04[min(index, 22)];
    }
    return 255.0;
}

// The glyph coverage of the current section at this pixel, rising from below the screen as
// sectiontime grows. Rows are a sixteenth of the screen high; lines start 12.5 cells from the left.
vec4 textLayer(vec2 fragCoord)
{
    vec4 glyphs = vec4(0.0);
    vec2 cellPosition = 16.0 * fragCoord / resolution.y;
    float scroll = textsection == 3 ? (scratch > 0.0 ? scratch : sectiontime * 0.0725) : sectiontime * 0.125;
    float x = 0.0;
    float y = 0.0;
    for (int i = 0; i < 99; i++) {
        float code = textCode(i);
        if (code == 255.0) break;
        if (code == _rt) {
            x = 0.0;
            y -= 1.0;
            continue;
        }
        vec2 p = cellPosition - vec2(12.5 + x, y - 1.0);
        p.y -= scroll;
        glyphs += getCharacter(fontTexture, p, code);
        x += CHARPOS_X;
    }
    return glyphs;
}

void main()
{
    vec2 uv = gl_FragCoord.xy / resolution;
    if (cineScope(gl_FragCoord, resolution, 0.7)) {
        outColor0 = vec4(0.0, 0.0, 0.0, 1.0);
        return;
    }

    // A wide view with the solid left of centre, leaving the right side for the text.
    vec3 eye = vec3(-10.0, 0.0, 12.0);
    mat3 camera = setCamera(eye, vec3(0.0), 0.0);

    // This frame's two pictures: the lit surface ...
    vec4 surface = vec4(0.0);
    for (int i = 0; i < AA1; i++)
        for (int j = 0; j < AA1; j++) {
            vec2 offset = vec2(float(i), float(j)) / float(AA1) - 0.5;
            vec2 n = (4.0 * (gl_FragCoord.xy + offset) - resolution) / resolution.y - vec2(0.25, 1.0);
            vec3 rd = camera * normalize(vec3(n, 3.2));
            surface += vec4(pow(clamp(raycast(eye, rd, uv, true), 0.0, 1.0), vec3(0.4545)), 1.0);
        }
    outColor1 = surface / float(AA1 * AA1);

    // ... and the glowing volume.
    vec4 volume = vec4(0.0);
    for (int i = 0; i < AA2; i++)
        for (int j = 0; j < AA2; j++) {
            vec2 offset = vec2(float(i), float(j)) / float(AA2) - 0.5;
            vec2 n = (4.0 * (gl_FragCoord.xy + offset) - resolution) / resolution.y - vec2(0.25, 1.0);
            vec3 rd = camera * normalize(vec3(n, 3.2));
            volume += vec4(pow(clamp(raycast(eye, rd, uv, false), 0.0, 1.0), vec3(0.4545)), 1.0);
        }
    outColor2 = volume / float(AA2 * AA2);

    // The screen shows last frame's pictures, crossfaded by morphingtime2.
    vec4 picture = mix(texture(backBuffer1, uv), texture(backBuffer2, uv), morphingtime2);
    picture = vignetteEffect(uv, picture);

    // Text, faded out towards the top and bottom thirds; none while fading to a colour.
    vec4 text = textLayer(gl_FragCoord.xy);
    float edge = resolution.y / 3.0;
    text.x *= min(clamp(resolution.y - gl_FragCoord.y, 0.0, edge) / edge, clamp(gl_FragCoord.y, 0.0, edge) / edge);
    text.x = pow(text.x, 0.45);
    if (fadecolor > 0.0 && fadetime > 0.0) text.x = 0.0;

    vec4 colour = picture + vec4(text.x);
    colour.rgb = fade(vec3(fadecolor), colour.rgb, fadetime);
    // While fading to a colour, a torn video image of the volume shows through.
    if (fadecolor > 0.0) colour.rgb += tvGlitch(backBuffer2, gl_FragCoord.xy, uv, time).rgb;
    outColor0 = colour;
}
