#include "renderer/gl_entries.h"
#include "renderer/shader_assembly.h"
#include "support/gl_test.h"
#include "support/shader_probe.h"

#include <cmath>
#include <string>
#include <vector>

namespace {

const char kProbeHeader[] = "#version 430\n"
                            "layout(binding = 0) uniform sampler2D source;\n"
                            "layout(binding = 4) uniform sampler2D fontTexture;\n"
                            "layout(location = 0) out vec4 outColor0;\n"
                            "#include\"common.inl\"\n"
                            "#include\"postprocess.inl\"\n";

// Evaluates one vec4 expression per pixel of a row, through both libraries.
std::vector<std::vector<float>> evaluate(const std::vector<std::string>& expressions) {
    std::string text = kProbeHeader;
    text += "vec4 probe(int i) {\n    switch (i) {\n";
    for (size_t i = 0; i < expressions.size(); ++i)
        text += "    case " + std::to_string(i) + ": return " + expressions[i] + ";\n";
    text += "    }\n    return vec4(0.0);\n}\n"
            "void main() { outColor0 = probe(int(gl_FragCoord.x)); }\n";
    std::vector<float> pixels = renderProbe(text.c_str(), static_cast<int32_t>(expressions.size()), 1);
    std::vector<std::vector<float>> results;
    for (size_t i = 0; i < expressions.size() && !pixels.empty(); ++i)
        results.emplace_back(pixels.begin() + 4 * i, pixels.begin() + 4 * i + 4);
    return results;
}

void expectNear(const std::vector<float>& actual, const std::vector<float>& expected, float tolerance,
                const std::string& what) {
    ASSERT_EQ(actual.size(), 4u) << what;
    for (size_t c = 0; c < expected.size(); ++c)
        EXPECT_NEAR(actual[c], expected[c], tolerance) << what << " [" << c << "]";
}

class ShaderLibrary : public GlTest {};

} // namespace

TEST_F(ShaderLibrary, GetCharacterReadsTheCodesCellAndMarksOutsideWithHugeW) {
    // A 16 x 16 atlas whose texel (column, row) holds (column, row, 7, 0).
    std::vector<float> atlas(16 * 16 * 4);
    for (int row = 0; row < 16; ++row)
        for (int column = 0; column < 16; ++column) {
            float* t = &atlas[(row * 16 + column) * 4];
            t[0] = static_cast<float>(column), t[1] = static_cast<float>(row), t[2] = 7.0f, t[3] = 0.0f;
        }
    GLX(glActiveTexture)(GL_TEXTURE4);
    uint32_t texture = makeFloatTexture2D(16, 16, atlas.data());
    GLX(glActiveTexture)(GL_TEXTURE0);

    auto r = evaluate({
        "getCharacter(fontTexture, vec2(1.2, 0.5), 65.0)", "getCharacter(fontTexture, vec2(0.5, -0.1), 0.0)",
        "getCharacter(fontTexture, vec2(-0.01, 0.5), 32.0)",
        "getCharacter(fontTexture, vec2(0.5, 1.01), 255.0)",
        "getCharacter(fontTexture, vec2(0.5, 0.5), 65.0)", "getCharacter(fontTexture, vec2(0.5, 0.5), 0.0)",
        "getCharacter(fontTexture, vec2(0.5, 0.5), 255.0)",
        "getCharacter(fontTexture, vec2(1.0, 0.0), 17.0)", // the cell's own border is inside
    });
    ASSERT_EQ(r.size(), 8u);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(r[i], (std::vector<float>{0, 0, 0, 100000})) << i;
    // Code c sits at column c mod 16, row 15 - c div 16 of the atlas.
    EXPECT_EQ(r[4], (std::vector<float>{1, 11, 7, 0}));
    EXPECT_EQ(r[5], (std::vector<float>{0, 15, 7, 0}));
    EXPECT_EQ(r[6], (std::vector<float>{15, 0, 7, 0}));
    EXPECT_EQ(r[7][2], 7.0f);

    GLX(glActiveTexture)(GL_TEXTURE4);
    glBindTexture(GL_TEXTURE_2D, 0);
    GLX(glActiveTexture)(GL_TEXTURE0);
    glDeleteTextures(1, &texture);
}

TEST_F(ShaderLibrary, DistancePrimitivesOnKnownPoints) {
    auto r = evaluate({
        "vec4(sdBox(vec3(2.0, 0.0, 0.0), vec3(1.0)), sdBox(vec3(2.0, 2.0, 0.0), vec3(1.0)),"
        " sdBox(vec3(0.5, 0.0, 0.0), vec3(1.0)), sdRoundBox(vec3(2.0, 2.0, 0.0), vec3(1.0), 0.25))",
        "vec4(sdTorus(vec3(1.0, 0.0, 0.0), vec2(1.0, 0.25)), sdCapsule(vec3(0.0, 2.0, 0.0), 0.5, 1.0),"
        " sdCapsule(vec3(3.0, 0.0, 0.0), vec3(0.0, -1.0, 0.0), vec3(0.0, 1.0, 0.0), 0.5), sdCircle(vec3(0.0, "
        "1.0, 2.0), 2.0))",
        // Each solid reaches 2 - r along its own first face normal.
        "vec4(sdOctahedron(2.0 * GDFVectors[3], 1.0), sdDodecahedron(2.0 * GDFVectors[13], 1.0),"
        " sdIcosahedron(2.0 * GDFVectors[7], 1.0), sdTruncatedIcosahedron(2.0 * GDFVectors[18], 1.0))",
        // The truncated octahedron also has the axis faces the octahedron lacks.
        "vec4(sdTruncatedOctahedron(vec3(2.0, 0.0, 0.0), 1.0), sdOctahedron(vec3(2.0, 0.0, 0.0), 1.0),"
        " sdOctahedron(vec3(0.0, 0.0, 2.0), 1.0, 1.0), sdCone(vec3(0.0, 3.0, 0.0), 1.0, 2.0))",
        "vec4(sdDisc(vec3(0.5, 0.3, 0.0), 1.0), sdDisc(vec3(2.0, 0.0, 0.0), 1.0),"
        " sdHexagonCircumcircle(vec3(0.0, 0.0, 3.0), vec2(1.0, 1.0)), sdBox2D(vec2(3.0, 4.0), vec2(0.0)))",
    });
    ASSERT_EQ(r.size(), 5u);
    expectNear(r[0], {1.0f, std::sqrt(2.0f), -0.5f, 1.25f * std::sqrt(2.0f) - 0.25f}, 1e-5f, "boxes");
    expectNear(r[1], {-0.25f, 0.5f, 2.5f, 1.0f}, 1e-5f, "torus, capsules, circle");
    expectNear(r[2], {1, 1, 1, 1}, 1e-5f, "polyhedra");
    expectNear(r[3], {1.0f, 2.0f / std::sqrt(3.0f) - 1.0f, 4.0f * 2.0f / std::sqrt(3.0f) - 1.0f, 1.0f}, 1e-4f,
               "octahedra, cone apex");
    expectNear(r[4], {0.3f, 1.0f, 2.0f, 5.0f}, 1e-5f, "disc, hexagon, 2D box");
}

// Every function of both libraries, called with the argument types of the catalogue.
const char kEveryFunction[] = R"(
void main() {
    vec3 p = vec3(gl_FragCoord.xy, 1.0);
    float d = sdSphere(p, 1.0) + sdPlane(p, vec3(0.0, 1.0, 0.0), 1.0) + sdBoxCheap(p, vec3(1.0)) + sdBox(p, vec3(1.0))
            + sdRoundBox(p, vec3(1.0), 0.1) + sdTorus(p, vec2(1.0, 0.2)) + sdDeathStar(p, 1.0, 0.5, 1.0)
            + sdSpikeball(p, vec3(1.0)) + checkersGradBox(p.xy, dFdx(p.xy), dFdy(p.xy)) + sdBoxCheep2D(p.xy, vec2(1.0))
            + sdBox2D(p.xy, vec2(1.0)) + sdCorner(p.xy) + sdBlob(p) + sdCylinder(p, 1.0, 1.0) + sdCapsule(p, 1.0, 1.0)
            + sdLineSegment(p, vec3(0.0), vec3(1.0)) + sdCapsule(p, vec3(0.0), vec3(1.0), 0.5) + sdCircle(p, 1.0)
            + sdDisc(p, 1.0) + sdHexagonCircumcircle(p, vec2(1.0)) + sdHexagonIncircle(p, vec2(1.0)) + sdCone(p, 1.0, 2.0)
            + sdGDF(p, 1.0, 8.0, 3, 6) + sdGDF(p, 1.0, 3, 6) + sdOctahedron(p, 1.0, 8.0) + sdOctahedron(p, 1.0)
            + sdDodecahedron(p, 1.0, 8.0) + sdDodecahedron(p, 1.0) + sdIcosahedron(p, 1.0, 8.0) + sdIcosahedron(p, 1.0)
            + sdTruncatedOctahedron(p, 1.0, 8.0) + sdTruncatedOctahedron(p, 1.0)
            + sdTruncatedIcosahedron(p, 1.0, 8.0) + sdTruncatedIcosahedron(p, 1.0) + smin(1.0, 2.0, 0.5)
            + opU(vec2(1.0, 2.0), vec2(3.0, 4.0)).y + sdRoundBox2D(p.xy, vec2(1.0), 0.1)
            + square(1.0) + square(p.xy).x + square(p).x + squareLength(p) + vecMax(p.xy) + vecMax(p) + vecMax(vec4(p, 1.0))
            + vecMin(p.xy) + vecMin(p) + vecMin(vec4(p, 1.0)) + sign(1.0) + sign(p.xy).x + sign(p).x + PI2 + PHI
            + saturate(p.x) + getBlurSize(2.0, 1.0, 1.0) + rot2D(1.0, 45.0).x + mod289(p).x + mod289(p.xy).x
            + permute(p).x + snoise(p.xy);
    mat3 camera = setCamera(p, vec3(0.0), 0.1);
    vec2 hit = iBox(p, normalize(p), vec3(1.0));
    bool inside = sameSideTriangle(p, p, p, p) || pointInTriangle(p, vec3(0.0), vec3(1.0), vec3(2.0))
               || cineScope(gl_FragCoord, vec2(64.0), 0.7);
    vec3 colour = camera * rotate(p, 1.0, 2.0, 3.0, 0.5) + hsv2rgb(p) + fade(p, p, 0.5) + sampleEnvMap(p, 0.5)
                + vec3(CRTCurveUV(p.xy), 1.0) + getCharacter(fontTexture, p.xy, 65.0).xyz
                + depthOfField(source, p.xy, 0.0, 1.0, 1.0, vec2(64.0))
                + vignetteEffect(p.xy, vec4(1.0)).xyz + radialBlur(source, p.xy, p, 1.0, 0.9, 1.0, 0.1).xyz
                + tvGlitch(source, gl_FragCoord.xy, p.xy, 1.0).xyz + GDFVectors[18];
    outColor0 = vec4(colour, d + hit.x + float(inside) + float(ANGLE_SAMPLES + OFFSET_SAMPLES) + MAX_BLUR_SIZE + FAR);
}
)";

TEST_F(ShaderLibrary, EveryFunctionCompilesOnTheDriver) {
    std::string text = std::string(kProbeHeader) + kEveryFunction;
    int32_t program = buildSceneProgram(text.c_str());
    EXPECT_GT(program, 0) << sceneProgramLog();
    if (program > 0) GLX(glDeleteProgram)(static_cast<GLuint>(program));
}

TEST(ShaderLibraryText, PassesTheReferenceCompiler) {
    const IncludeLibraryEntry* library = includeLibrary();
    EXPECT_GLSLANG_ACCEPTS(std::string(kProbeHeader).substr(0, std::string(kProbeHeader).find("#include")) +
                           library[0].text + "\n" + library[1].text + "\n" + kEveryFunction);
}
