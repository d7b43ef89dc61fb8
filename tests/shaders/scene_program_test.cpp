// The scene programs as programs: each builds on the driver and passes glslangValidator, and
// declares exactly the samplers, outputs and uniforms of its row of the header table, which the
// driver reports back.
#include "framework/memory.h"
#include "platform/platform.h"
#include "renderer/gl_entries.h"
#include "renderer/shader_assembly.h"
#include "support/gl_test.h"
#include "support/scene_stage.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

struct Declared {
    std::string name;
    std::string type; // GLSL type name
    int slot;         // binding for samplers, location for outputs and uniforms

    bool operator==(const Declared&) const = default;
};

struct SceneHeader {
    int scene;
    std::vector<Declared> samplers;
    std::vector<Declared> outputs;
    std::vector<Declared> uniforms;
    // Declared but not needed for the picture: the driver need not report them.
    std::set<std::string> unused;
};

std::vector<Declared> outputs(std::initializer_list<int> locations) {
    std::vector<Declared> list;
    for (int location : locations) list.push_back({"outColor" + std::to_string(location), "vec4", location});
    return list;
}

// The uniforms every scene declares, then `more`, at locations from `first` on.
std::vector<Declared> uniforms(int first, const std::vector<std::pair<std::string, std::string>>& more = {}) {
    std::vector<std::pair<std::string, std::string>> all = {
        {"vec2", "resolution"}, {"float", "time"},     {"float", "mbrotate"},  {"float", "mbzoom"},
        {"float", "scratch"},   {"float", "fadetime"}, {"float", "fadecolor"},
    };
    all.insert(all.end(), more.begin(), more.end());
    std::vector<Declared> list;
    for (const auto& [type, name] : all) list.push_back({name, type, first++});
    return list;
}

const Declared kBackBuffer0 = {"backBuffer0", "sampler2D", 0};
const Declared kBackBuffer1 = {"backBuffer1", "sampler2D", 1};
const Declared kBackBuffer2 = {"backBuffer2", "sampler2D", 2};
const Declared kFont = {"fontTexture", "sampler2D", 4};
const Declared kGrayNoise = {"grayScaleNoiseTexture2D", "sampler2D", 5};
const Declared kColorNoise = {"colorNoiseTexture3D", "sampler3D", 8};

// The header table of the eight scenes.
std::vector<SceneHeader> sceneHeaders() {
    const SceneHeader scene1 = {1,
                                {kBackBuffer0, kBackBuffer1, kGrayNoise, kColorNoise},
                                outputs({0, 1}),
                                uniforms(2),
                                {"backBuffer0"}};
    SceneHeader scene2 = scene1;
    scene2.scene = 2;
    return {
        scene1,
        scene2,
        // Scene 3 only writes outColor2 at the end of the scene; as an output left unwritten is
        // undefined anyway, a driver may write it always and drop the test of "scenetime".
        {3,
         {kBackBuffer0, kBackBuffer1, kGrayNoise, kColorNoise},
         outputs({0, 1, 2}),
         uniforms(3, {{"float", "scenetime"}, {"float", "invert"}}),
         {"backBuffer0", "grayScaleNoiseTexture2D", "mbrotate", "scenetime"}},
        {4,
         {kBackBuffer0, kBackBuffer1, kBackBuffer2, kGrayNoise, kColorNoise},
         outputs({0, 1}),
         uniforms(2, {{"float", "scenetime"}, {"float", "radialblur"}}),
         {"backBuffer0"}},
        // Scene 5 writes outColor2 only from scenetime 0.99 on, like scene 3.
        {5,
         {kBackBuffer0, kBackBuffer1, kBackBuffer2, kGrayNoise, kColorNoise},
         outputs({0, 1, 2}),
         uniforms(3, {{"float", "scenetime"}, {"float", "radialblur"}, {"float", "cameraposz"}}),
         {"backBuffer0", "backBuffer2", "radialblur", "scenetime"}},
        // Scene 6 declares outColor2 but never writes it, so attachment 2 keeps scene 5's picture.
        {6,
         {kBackBuffer0, kBackBuffer1, kBackBuffer2, kGrayNoise, kColorNoise},
         outputs({0, 1, 2}),
         uniforms(3, {{"float", "scenetime"}, {"float", "radialblur"}}),
         {"backBuffer0", "grayScaleNoiseTexture2D", "mbrotate", "outColor2"}},
        {7,
         {kBackBuffer0, kBackBuffer1, kGrayNoise, kColorNoise},
         outputs({0, 1}),
         uniforms(2, {{"float", "radialblur"}}),
         {"backBuffer0"}},
        {8,
         {kBackBuffer0, kBackBuffer1, kBackBuffer2, kFont, kGrayNoise, kColorNoise},
         outputs({0, 1, 2}),
         uniforms(3, {{"float", "radialblur"},
                      {"float", "sectiontime"},
                      {"int", "textsection"},
                      {"float", "morphingtime1"},
                      {"float", "morphingtime2"},
                      {"int", "shape"}}),
         {"backBuffer0", "mbrotate", "mbzoom", "radialblur"}},
    };
}

std::string typeName(GLint type) {
    switch (type) {
    case GL_FLOAT:
        return "float";
    case GL_FLOAT_VEC2:
        return "vec2";
    case GL_FLOAT_VEC4:
        return "vec4";
    case GL_INT:
        return "int";
    case GL_SAMPLER_2D:
        return "sampler2D";
    case GL_SAMPLER_3D:
        return "sampler3D";
    }
    return "type " + std::to_string(type);
}

// The declarations of the scene text, in order: "layout(binding = N) uniform T name;",
// "layout(location = N) out T name;" and "layout(location = N) uniform T name;".
void parseDeclarations(const std::string& text, std::vector<Declared>* samplers,
                       std::vector<Declared>* outputs, std::vector<Declared>* uniforms) {
    const std::regex declaration(R"(layout\((binding|location) = (\d+)\) (uniform|out) (\w+) (\w+);)");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), declaration); it != std::sregex_iterator();
         ++it) {
        const std::smatch& m = *it;
        Declared d = {m[5], m[4], std::stoi(m[2])};
        if (m[1] == "binding")
            samplers->push_back(d);
        else if (m[3] == "out")
            outputs->push_back(d);
        else
            uniforms->push_back(d);
    }
}

struct Active {
    std::string type;
    GLint slot;
};

// Name -> (type, location) of every active resource of `interface`; for samplers the slot is the
// texture unit the binding set.
std::map<std::string, Active> activeResources(GLuint program, GLenum interface) {
    using GetName = void (*)(GLuint, GLenum, GLuint, GLsizei, GLsizei*, GLchar*);
    using GetUniform = void (*)(GLuint, GLint, GLint*);
    auto getName = reinterpret_cast<GetName>(platformServices()->getGlProc("glGetProgramResourceName"));
    auto getUniform = reinterpret_cast<GetUniform>(platformServices()->getGlProc("glGetUniformiv"));
    std::map<std::string, Active> found;
    if (!getName || !getUniform) {
        ADD_FAILURE() << "no resource queries";
        return found;
    }
    GLint count = 0;
    GLX(glGetProgramInterfaceiv)(program, interface, GL_ACTIVE_RESOURCES, &count);
    for (GLint index = 0; index < count; ++index) {
        char name[128] = {};
        getName(program, interface, static_cast<GLuint>(index), sizeof name, nullptr, name);
        const GLenum properties[2] = {GL_TYPE, GL_LOCATION};
        GLint values[2] = {0, -1};
        GLX(glGetProgramResourceiv)
        (program, interface, static_cast<GLuint>(index), 2, properties, 2, nullptr, values);
        Active active = {typeName(values[0]), values[1]};
        if (values[0] == GL_SAMPLER_2D || values[0] == GL_SAMPLER_3D)
            getUniform(program, values[1], &active.slot);
        found[name] = active;
    }
    return found;
}

void expectActiveMatch(const std::map<std::string, Active>& active, const std::vector<Declared>& declared,
                       const std::set<std::string>& unused, const char* what) {
    std::set<std::string> names;
    for (const Declared& d : declared) {
        names.insert(d.name);
        const auto it = active.find(d.name);
        if (it == active.end()) {
            EXPECT_TRUE(unused.count(d.name)) << what << " " << d.name << " is not active";
            continue;
        }
        EXPECT_EQ(it->second.type, d.type) << what << " " << d.name;
        EXPECT_EQ(it->second.slot, d.slot) << what << " " << d.name;
    }
    for (const auto& [name, resource] : active)
        EXPECT_TRUE(names.count(name)) << what << " " << name << " is not in the header";
}

std::string expandedText(int scene) {
    const char* text = embeddedSceneText(scene);
    if (!text) return "";
    const char* expanded = expandIncludes(text);
    if (expanded == text) {
        ADD_FAILURE() << "scene " << scene << " includes nothing";
        return "";
    }
    std::string result = expanded;
    memFree(const_cast<char*>(expanded));
    return result;
}

class ScenePrograms : public GlTest {};

} // namespace

TEST_F(ScenePrograms, HeadersDeclareTheirTableRowInOrder) {
    for (const SceneHeader& header : sceneHeaders()) {
        SCOPED_TRACE("scene " + std::to_string(header.scene));
        const char* text = embeddedSceneText(header.scene);
        ASSERT_NE(text, nullptr);
        std::vector<Declared> samplers, outputs, uniforms;
        parseDeclarations(text, &samplers, &outputs, &uniforms);
        EXPECT_TRUE(samplers == header.samplers) << "samplers";
        EXPECT_TRUE(outputs == header.outputs) << "outputs";
        EXPECT_TRUE(uniforms == header.uniforms) << "uniforms";
        EXPECT_EQ(std::string(text).rfind("#version 430\n", 0), 0u);
    }
}

TEST_F(ScenePrograms, BuildOnTheDriverAndReportTheirHeader) {
    for (const SceneHeader& header : sceneHeaders()) {
        SCOPED_TRACE("scene " + std::to_string(header.scene));
        const int32_t program = buildEmbeddedScene(header.scene);
        ASSERT_GT(program, 0) << sceneProgramLog();
        const GLuint name = static_cast<GLuint>(program);
        std::map<std::string, Active> samplers, uniforms;
        for (const auto& [resource, active] : activeResources(name, GL_UNIFORM))
            (active.type.rfind("sampler", 0) == 0 ? samplers : uniforms)[resource] = active;
        expectActiveMatch(samplers, header.samplers, header.unused, "sampler");
        expectActiveMatch(uniforms, header.uniforms, header.unused, "uniform");
        expectActiveMatch(activeResources(name, GL_PROGRAM_OUTPUT), header.outputs, header.unused, "output");
        GLX(glDeleteProgram)(name);
    }
}

TEST_F(ScenePrograms, PassGlslangValidator) {
    for (int scene = 1; scene <= 8; ++scene) {
        SCOPED_TRACE("scene " + std::to_string(scene));
        const std::string text = expandedText(scene);
        ASSERT_FALSE(text.empty());
        const std::string path = ::testing::TempDir() + "quorlax_scene" + std::to_string(scene) + ".frag";
        std::ofstream(path) << text;
        const std::string command = "glslangValidator -S frag " + path + " > " + path + ".log 2>&1";
        const int status = std::system(command.c_str());
        std::ifstream logFile(path + ".log");
        const std::string log((std::istreambuf_iterator<char>(logFile)), std::istreambuf_iterator<char>());
        EXPECT_EQ(status, 0) << log;
        std::remove(path.c_str());
        std::remove((path + ".log").c_str());
    }
}
