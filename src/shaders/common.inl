#define PI 3.14159265
#define PI2 (2*PI)
#define PHI (sqrt(5.0)*0.5+0.5)
#define saturate(x) clamp((x), 0.0, 1.0)

// Shared library of every scene: vector helpers, signed distances (negative inside), camera,
// text and colour helpers. It declares no uniforms, samplers or outputs; everything comes in as
// arguments.

// Face normals of the regular polyhedra, used by the sdGDF family.
const vec3 GDFVectors[19] = vec3[](
    normalize(vec3(1.0, 0.0, 0.0)),
    normalize(vec3(0.0, 1.0, 0.0)),
    normalize(vec3(0.0, 0.0, 1.0)),

    normalize(vec3(1.0, 1.0, 1.0)),
    normalize(vec3(-1.0, 1.0, 1.0)),
    normalize(vec3(1.0, -1.0, 1.0)),
    normalize(vec3(1.0, 1.0, -1.0)),

    normalize(vec3(0.0, 1.0, PHI + 1.0)),
    normalize(vec3(0.0, -1.0, PHI + 1.0)),
    normalize(vec3(PHI + 1.0, 0.0, 1.0)),
    normalize(vec3(-PHI - 1.0, 0.0, 1.0)),
    normalize(vec3(1.0, PHI + 1.0, 0.0)),
    normalize(vec3(-1.0, PHI + 1.0, 0.0)),

    normalize(vec3(0.0, PHI, 1.0)),
    normalize(vec3(0.0, -PHI, 1.0)),
    normalize(vec3(1.0, 0.0, PHI)),
    normalize(vec3(-1.0, 0.0, PHI)),
    normalize(vec3(PHI, 1.0, 0.0)),
    normalize(vec3(-PHI, 1.0, 0.0))
);

// ---- Vector helpers ------------------------------------------------------------------------

// Right-handed rotation of p by `angle` about the axis (sin(2+ax), sin(2+ay), sin(2+az)).
vec3 rotate(vec3 p, float ax, float ay, float az, float angle)
{
    vec3 axis = normalize(vec3(sin(2.0 + ax), sin(2.0 + ay), sin(2.0 + az)));
    float s = sin(angle);
    float c = cos(angle);
    float n = 1.0 - c;
    mat3 rotation = mat3(
        n * axis.x * axis.x + c, n * axis.x * axis.y - axis.z * s, n * axis.z * axis.x + axis.y * s,
        n * axis.x * axis.y + axis.z * s, n * axis.y * axis.y + c, n * axis.y * axis.z - axis.x * s,
        n * axis.z * axis.x - axis.y * s, n * axis.y * axis.z + axis.x * s, n * axis.z * axis.z + c);
    return p * rotation;
}

// Unlike the built-in, zero counts as positive.
float sign(float x) { return x < 0.0 ? -1.0 : 1.0; }
vec2 sign(vec2 v) { return vec2(sign(v.x), sign(v.y)); }
vec3 sign(vec3 v) { return vec3(sign(v.x), sign(v.y), sign(v.z)); }

float square(float x) { return x * x; }
vec2 square(vec2 x) { return x * x; }
vec3 square(vec3 x) { return x * x; }

float squareLength(vec3 v) { return dot(v, v); }

float vecMax(vec2 v) { return max(v.x, v.y); }
float vecMax(vec3 v) { return max(v.x, max(v.y, v.z)); }
float vecMax(vec4 v) { return max(max(v.x, v.y), max(v.z, v.w)); }

float vecMin(vec2 v) { return min(v.x, v.y); }
float vecMin(vec3 v) { return min(v.x, min(v.y, v.z)); }
float vecMin(vec4 v) { return min(min(v.x, v.y), min(v.z, v.w)); }

// ---- Distance primitives -------------------------------------------------------------------

float sdSphere(vec3 p, float radius) { return length(p) - radius; }

float sdPlane(vec3 p, vec3 normal, float height) { return dot(p, normal) + height; }

float sdBoxCheap(vec3 p, vec3 halfSize) { return vecMax(abs(p) - halfSize); }

float sdBox(vec3 p, vec3 halfSize)
{
    vec3 excess = abs(p) - halfSize;
    return min(max(excess.x, max(excess.y, excess.z)), 0.0) + length(max(excess, 0.0));
}

float sdRoundBox(vec3 p, vec3 halfSize, float radius)
{
    vec3 excess = abs(p) - halfSize + radius;
    return min(max(excess.x, max(excess.y, excess.z)), 0.0) + length(max(excess, 0.0)) - radius;
}

float sdTorus(vec3 p, vec2 radii)
{
    return length(vec2(length(p.xz) - radii.x, p.y)) - radii.y;
}

// Sphere of radius ra along +x with a sphere of radius rb at distance d carved out of it.
float sdDeathStar(vec3 p, float ra, float rb, float d)
{
    float rimX = (ra * ra - rb * rb + d * d) / (2.0 * d);
    float rimY = sqrt(max(ra * ra - rimX * rimX, 0.0));
    vec2 q = vec2(p.x, length(p.yz));
    if (q.x * rimY - q.y * rimX > d * max(rimY - q.y, 0.0))
        return length(q - vec2(rimX, rimY));
    return max(length(q) - ra, -length(q - vec2(d, 0.0)) + rb);
}

// Unit ball with sixteen spikes; the size argument is not used.
float sdSpikeball(vec3 p, vec3 size)
{
    vec3 spikes[19] = vec3[](
        vec3(1.0, 0.0, 0.0), vec3(0.0, 1.0, 0.0), vec3(0.0, 0.0, 1.0),
        vec3(0.577, 0.577, 0.577), vec3(-0.577, 0.577, 0.577),
        vec3(0.577, -0.577, 0.577), vec3(0.577, 0.577, -0.577),
        vec3(0.0, 0.357, 0.934), vec3(0.0, -0.357, 0.934),
        vec3(0.934, 0.0, 0.357), vec3(-0.934, 0.0, 0.357),
        vec3(0.357, 0.934, 0.0), vec3(-0.357, 0.934, 0.0),
        vec3(0.0, 0.851, 0.526), vec3(0.0, -0.851, 0.526),
        vec3(0.526, 0.0, 0.851), vec3(-0.526, 0.0, 0.851),
        vec3(0.851, 0.526, 0.0), vec3(-0.851, 0.526, 0.0));
    float nearest = 10000.0;
    for (int i = 3; i < 19; i++) {
        float along = clamp(dot(p, spikes[i]), -1.0, 1.0);
        vec3 onAxis = along * spikes[i];
        float thickness = 0.25 * exp(-5.0 * abs(along));
        nearest = min(nearest, length(p - onAxis) - thickness);
    }
    return nearest;
}

// Checkerboard box-filtered over the pixel footprint given by the screen derivatives.
float checkersGradBox(vec2 p, vec2 dpdx, vec2 dpdy)
{
    vec2 footprint = abs(dpdx) + abs(dpdy) + 0.001;
    vec2 i = 2.0 * (abs(fract((p - 0.5 * footprint) * 0.5) - 0.5) -
                    abs(fract((p + 0.5 * footprint) * 0.5) - 0.5)) / footprint;
    return 0.5 - 0.5 * i.x * i.y;
}

float sdBoxCheep2D(vec2 p, vec2 halfSize) { return vecMax(abs(p) - halfSize); }

float sdBox2D(vec2 p, vec2 halfSize)
{
    vec2 excess = abs(p) - halfSize;
    return length(max(excess, 0.0)) + vecMax(min(excess, 0.0));
}

float sdCorner(vec2 p) { return length(max(p, 0.0)) + vecMax(min(p, 0.0)); }

// A rounded star-shaped blob with icosahedral symmetry.
float sdBlob(vec3 p)
{
    p = abs(p);
    if (p.x < max(p.y, p.z)) p = p.yzx;
    if (p.x < max(p.y, p.z)) p = p.yzx;
    float symmetry = max(max(max(dot(p, normalize(vec3(1.0, 1.0, 1.0))),
                                 dot(p.xz, normalize(vec2(PHI + 1.0, 1.0)))),
                             dot(p.yx, normalize(vec2(1.0, PHI)))),
                         dot(p.xz, normalize(vec2(1.0, PHI))));
    float centreDistance = length(p);
    return centreDistance - 1.5 - 0.15 * cos(min(sqrt(1.01 - symmetry / centreDistance) * (PI / 0.25), PI));
}

float sdCylinder(vec3 p, float radius, float halfHeight)
{
    return max(length(p.xz) - radius, abs(p.y) - halfHeight);
}

// Vertical capsule along y: a cylinder of half height h with hemispherical caps.
float sdCapsule(vec3 p, float radius, float halfHeight)
{
    return mix(length(p.xz) - radius,
               length(vec3(p.x, abs(p.y) - halfHeight, p.z)) - radius,
               step(halfHeight, abs(p.y)));
}

float sdLineSegment(vec3 p, vec3 a, vec3 b)
{
    vec3 segment = b - a;
    float along = saturate(dot(p - a, segment) / dot(segment, segment));
    return length(segment * along + a - p);
}

float sdCapsule(vec3 p, vec3 a, vec3 b, float radius) { return sdLineSegment(p, a, b) - radius; }

// A ring of radius r in the xz plane.
float sdCircle(vec3 p, float radius) { return length(vec2(p.y, length(p.xz) - radius)); }

float sdDisc(vec3 p, float radius)
{
    float outside = length(p.xz) - radius;
    return outside < 0.0 ? abs(p.y) : length(vec2(p.y, outside));
}

// Hexagonal prism along y; h.x is the circumradius, h.y the half height.
float sdHexagonCircumcircle(vec3 p, vec2 h)
{
    vec3 q = abs(p);
    return max(q.y - h.y, max(q.x * sqrt(3.0) * 0.5 + q.z * 0.5, q.z) - h.x);
}

float sdHexagonIncircle(vec3 p, vec2 h)
{
    return sdHexagonCircumcircle(p, vec2(h.x * sqrt(3.0) * 0.5, h.y));
}

// Cone with its apex at height h and base radius r at height 0.
float sdCone(vec3 p, float radius, float height)
{
    vec2 q = vec2(length(p.xz), p.y);
    vec2 fromApex = q - vec2(0.0, height);
    vec2 slopeNormal = normalize(vec2(height, radius));
    float d = max(dot(fromApex, slopeNormal), -q.y);
    float alongSlope = dot(fromApex, vec2(slopeNormal.y, -slopeNormal.x));
    if (q.y > height && alongSlope < 0.0) d = max(d, length(fromApex));
    if (q.x > radius && alongSlope > length(vec2(height, radius)))
        d = max(d, length(q - vec2(radius, 0.0)));
    return d;
}

// Generalised distance over a range of GDFVectors: smoothed by the exponent e ...
float sdGDF(vec3 p, float radius, float e, int first, int last)
{
    float sum = 0.0;
    for (int i = first; i <= last; i++) sum += pow(abs(dot(p, GDFVectors[i])), e);
    return pow(sum, 1.0 / e) - radius;
}

// ... or sharp-edged, as the largest projection.
float sdGDF(vec3 p, float radius, int first, int last)
{
    float largest = 0.0;
    for (int i = first; i <= last; i++) largest = max(largest, abs(dot(p, GDFVectors[i])));
    return largest - radius;
}

float sdOctahedron(vec3 p, float r, float e) { return sdGDF(p, r, e, 3, 6); }
float sdDodecahedron(vec3 p, float r, float e) { return sdGDF(p, r, e, 13, 18); }
float sdIcosahedron(vec3 p, float r, float e) { return sdGDF(p, r, e, 3, 12); }
float sdTruncatedOctahedron(vec3 p, float r, float e) { return sdGDF(p, r, e, 0, 6); }
float sdTruncatedIcosahedron(vec3 p, float r, float e) { return sdGDF(p, r, e, 3, 18); }

float sdOctahedron(vec3 p, float r) { return sdGDF(p, r, 3, 6); }
float sdDodecahedron(vec3 p, float r) { return sdGDF(p, r, 13, 18); }
float sdIcosahedron(vec3 p, float r) { return sdGDF(p, r, 3, 12); }
float sdTruncatedOctahedron(vec3 p, float r) { return sdGDF(p, r, 0, 6); }
float sdTruncatedIcosahedron(vec3 p, float r) { return sdGDF(p, r, 3, 18); }

// Polynomial smooth minimum; equals min(a, b) once the two are k or more apart.
float smin(float a, float b, float k)
{
    float h = clamp(0.5 + 0.5 * (b - a) / k, 0.0, 1.0);
    return mix(b, a, h) - k * h * (1.0 - h);
}

// Union of (distance, material) pairs.
vec2 opU(vec2 a, vec2 b) { return a.x < b.x ? a : b; }

// ---- Camera and geometry -------------------------------------------------------------------

// Columns: right, up, forward. A view ray is this matrix times normalize(vec3(x, y, focalLength)).
mat3 setCamera(vec3 eye, vec3 target, float roll)
{
    vec3 forward = normalize(target - eye);
    vec3 right = normalize(cross(forward, vec3(sin(roll), cos(roll), 0.0)));
    return mat3(right, cross(right, forward), forward);
}

// Entry and exit distance of a ray through the box of half extent `size`.
vec2 iBox(vec3 ro, vec3 rd, vec3 size)
{
    vec3 inverseDirection = 1.0 / rd;
    vec3 n = inverseDirection * ro;
    vec3 k = abs(inverseDirection) * size;
    vec3 t1 = -n - k;
    vec3 t2 = -n + k;
    return vec2(max(max(t1.x, t1.y), t1.z), min(min(t2.x, t2.y), t2.z));
}

bool sameSideTriangle(vec3 p1, vec3 p2, vec3 a, vec3 b)
{
    return dot(cross(b - a, p1 - a), cross(b - a, p2 - a)) >= 0.0;
}

bool pointInTriangle(vec3 p, vec3 a, vec3 b, vec3 c)
{
    return sameSideTriangle(p, a, b, c) && sameSideTriangle(p, b, a, c) &&
           sameSideTriangle(p, c, a, b);
}

// ---- Text ----------------------------------------------------------------------------------

// The glyph of `code` at cell position p in [0, 1]^2. Outside the cell the huge w marks "no glyph
// here", so sums over several characters stay far from any outline.
vec4 getCharacter(sampler2D atlas, vec2 p, float code)
{
    if (p.x < 0.0 || p.x > 1.0 || p.y < 0.0 || p.y > 1.0) return vec4(0.0, 0.0, 0.0, 100000.0);
    vec2 cell = fract(floor(vec2(code, 15.999 - code / 16.0)) / 16.0);
    return textureLod(atlas, p / 16.0 + cell, 0.0);
}

// ---- Colour and screen -----------------------------------------------------------------------

vec3 hsv2rgb(vec3 c)
{
    c.yz = clamp(c.yz, 0.0, 1.0);
    return c.z * (1.0 + c.y * clamp(abs(fract(c.x + vec3(0.0, 0.67, 0.33)) * 6.0 - 3.0) - 2.0, -1.0, 0.0));
}

// Letter-box bars: true above `limit` and below -`limit` in height-normalised coordinates.
bool cineScope(vec4 fragCoord, vec2 resolution, float limit)
{
    vec2 m = (2.0 * fragCoord.xy - resolution) / resolution.y;
    return m.y > limit || m.y < -limit;
}

// Bulges the picture like a curved tube screen.
vec2 CRTCurveUV(vec2 uv)
{
    uv = uv * 2.0 - 1.0;
    vec2 offset = abs(uv.yx) / vec2(6.0, 4.0);
    uv = uv + uv * offset * offset;
    return uv * 0.5 + 0.5;
}

vec3 fade(vec3 a, vec3 b, float t) { return mix(a, b, t); }

float sdRoundBox2D(vec2 p, vec2 halfSize, float radius)
{
    vec2 excess = abs(p) - halfSize;
    vec2 ordered = vec2(min(excess.x, excess.y), max(excess.x, excess.y));
    return (ordered.x > 0.0 ? length(excess) : ordered.y) - radius;
}

// A synthetic studio: dark blue-green surroundings, four square soft boxes and one warm light.
vec3 sampleEnvMap(vec3 dir, float roughness)
{
    vec2 uv = fract(vec2(atan(dir.z, dir.x), acos(dir.y)) / vec2(2.0 * PI, PI));
    vec3 colour = vec3(0.0, 0.05 * cos(uv.x) + 0.05, 0.1 * sin(uv.y) + 0.1);
    float sharpness = (1.0 - pow(roughness, 0.5)) * 1000.0 + 5.0;
    colour += vec3(clamp(pow(1.0 - sdRoundBox2D(uv - vec2(0.5, 0.5), vec2(0.05, 0.05), 0.01), sharpness), 0.0, 1.0));
    colour += vec3(clamp(pow(1.0 - sdRoundBox2D(uv - vec2(0.67, 0.5), vec2(0.05, 0.05), 0.01), sharpness), 0.0, 1.0));
    colour += vec3(clamp(pow(1.0 - sdRoundBox2D(uv - vec2(0.67, 0.67), vec2(0.05, 0.05), 0.01), sharpness), 0.0, 1.0));
    colour += vec3(clamp(pow(1.0 - sdRoundBox2D(uv - vec2(0.5, 0.67), vec2(0.05, 0.05), 0.01), sharpness), 0.0, 1.0));
    colour += vec3(1.0, 0.5, 0.1) * 2.0 *
              clamp(pow(1.0 - sdRoundBox2D(uv - vec2(0.3, 0.7), vec2(0.01, 0.01), 0.2), sharpness), 0.0, 1.0);
    return min(colour * (1.0 - 0.8 * roughness), 1.0);
}
