// The scene programs as programs: they build, an independent compiler accepts them, and each
// declares exactly its interface.
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
#include <string>
#include <unistd.h>

namespace {

struct Declaration {
    const char* name;
    GLenum type;
    int32_t location; // sampler: its texture unit
};

struct SceneInterface {
    int32_t scene;
    std::vector<Declaration> uniforms;
    std::vector<Declaration> samplers;
    std::vector<Declaration> outputs;
    // Declared but never read by the program, so the linker drops them from the active list.
    std::vector<std::string> unread;
};

// The uniforms every scene declares, from the first location on.
std::vector<Declaration> sharedUniforms(int32_t first) {
    const char* floats[] = {"time", "mbrotate", "mbzoom", "scratch", "fadetime", "fadecolor"};
    std::vector<Declaration> list = {{"resolution", GL_FLOAT_VEC2, first}};
    for (const char* name : floats)
        list.push_back({name, GL_FLOAT, first + static_cast<int32_t>(list.size())});
    return list;
}

std::vector<Declaration> sharedSamplers() {
    return {{"backBuffer0", GL_SAMPLER_2D, 0},
            {"backBuffer1", GL_SAMPLER_2D, 1},
            {"grayScaleNoiseTexture2D", GL_SAMPLER_2D, 5},
            {"colorNoiseTexture3D", GL_SAMPLER_3D, 8}};
}

std::vector<Declaration> outputs(int32_t count) {
    const char* names[] = {"outColor0", "outColor1", "outColor2"};
    std::vector<Declaration> list;
    for (int32_t i = 0; i < count; ++i) list.push_back({names[i], GL_FLOAT_VEC4, i});
    return list;
}

std::vector<SceneInterface> sceneInterfaces() {
    SceneInterface scene1{1, sharedUniforms(2), sharedSamplers(), outputs(2), {"backBuffer0"}};
    SceneInterface scene2 = scene1;
    scene2.scene = 2;
    // Scene 3 only writes outColor2 at the end of the scene; as an output left unwritten is
    // undefined anyway, a compiler may write it always and drop the test of "scenetime" (Mesa does).
    SceneInterface scene3{3,
                          sharedUniforms(3),
                          sharedSamplers(),
                          outputs(3),
                          {"backBuffer0", "grayScaleNoiseTexture2D", "mbrotate", "scenetime"}};
    scene3.uniforms.push_back({"scenetime", GL_FLOAT, 10});
    scene3.uniforms.push_back({"invert", GL_FLOAT, 11});
    SceneInterface scene4{4, sharedUniforms(2), sharedSamplers(), outputs(2), {"backBuffer0"}};
    scene4.samplers.push_back({"backBuffer2", GL_SAMPLER_2D, 2});
    scene4.uniforms.push_back({"scenetime", GL_FLOAT, 9});
    scene4.uniforms.push_back({"radialblur", GL_FLOAT, 10});
    return {scene1, scene2, scene3, scene4};
}

template <typename Function>
Function glFunction(const char* name) {
    return reinterpret_cast<Function>(platformServices()->getGlProc(name));
}

struct ActiveResource {
    GLenum type;
    int32_t location;
};

// Name -> (type, location) of every active resource of one interface of the program.
std::map<std::string, ActiveResource> activeResources(int32_t program, GLenum interface) {
    auto getName = glFunction<PFNGLGETPROGRAMRESOURCENAMEPROC>("glGetProgramResourceName");
    const GLuint name = static_cast<GLuint>(program);
    GLint count = 0;
    GLX(glGetProgramInterfaceiv)(name, interface, GL_ACTIVE_RESOURCES, &count);
    std::map<std::string, ActiveResource> resources;
    for (GLint index = 0; index < count; ++index) {
        char text[128] = {};
        getName(name, interface, static_cast<GLuint>(index), sizeof text, nullptr, text);
        const GLenum properties[2] = {GL_TYPE, GL_LOCATION};
        GLint values[2] = {0, -1};
        GLX(glGetProgramResourceiv)
        (name, interface, static_cast<GLuint>(index), 2, properties, 2, nullptr, values);
        resources[text] = {static_cast<GLenum>(values[0]), values[1]};
    }
    return resources;
}

int32_t samplerUnit(int32_t program, int32_t location) {
    auto getUniformiv = glFunction<PFNGLGETUNIFORMIVPROC>("glGetUniformiv");
    GLint unit = -1;
    getUniformiv(static_cast<GLuint>(program), location, &unit);
    return unit;
}

bool isUnread(const SceneInterface& scene, const std::string& name) {
    for (const std::string& unread : scene.unread)
        if (unread == name) return true;
    return false;
}

class ScenePrograms : public GlTest {};

} // namespace

TEST_F(ScenePrograms, EachSceneBuildsAndPassesTheReferenceCompiler) {
    for (int32_t scene = 1; scene <= 4; ++scene) {
        SCOPED_TRACE("scene " + std::to_string(scene));
        const int32_t program = buildEmbeddedScene(scene);
        EXPECT_NE(program, -1) << sceneProgramLog();
        if (program > 0) GLX(glDeleteProgram)(static_cast<GLuint>(program));

        const char* text = embeddedSceneText(scene);
        ASSERT_NE(text, nullptr);
        const char* expanded = expandIncludes(text);
        ASSERT_NE(expanded, text) << "the scene includes nothing";
        const std::string path =
            "/tmp/quorlax_scene" + std::to_string(scene) + "_" + std::to_string(getpid()) + ".frag";
        std::ofstream(path) << expanded;
        memFree(const_cast<char*>(expanded));

        const std::string log = path + ".log";
        const std::string command = "glslangValidator -S frag " + path + " > " + log + " 2>&1";
        const int status = std::system(command.c_str());
        std::ifstream logFile(log);
        const std::string messages((std::istreambuf_iterator<char>(logFile)),
                                   std::istreambuf_iterator<char>());
        EXPECT_EQ(status, 0) << messages;
        std::remove(path.c_str());
        std::remove(log.c_str());
    }
}

TEST_F(ScenePrograms, EachSceneDeclaresExactlyItsInterface) {
    for (const SceneInterface& scene : sceneInterfaces()) {
        SCOPED_TRACE("scene " + std::to_string(scene.scene));
        const int32_t program = buildEmbeddedScene(scene.scene);
        ASSERT_GT(program, 0) << sceneProgramLog();
        const std::map<std::string, ActiveResource> uniforms = activeResources(program, GL_UNIFORM);
        const std::map<std::string, ActiveResource> outputsFound =
            activeResources(program, GL_PROGRAM_OUTPUT);

        size_t expectedActive = 0;
        for (const Declaration& uniform : scene.uniforms) {
            const auto found = uniforms.find(uniform.name);
            if (found == uniforms.end()) {
                EXPECT_TRUE(isUnread(scene, uniform.name)) << uniform.name << " is missing";
                continue;
            }
            ++expectedActive;
            EXPECT_EQ(found->second.type, uniform.type) << uniform.name;
            EXPECT_EQ(found->second.location, uniform.location) << uniform.name;
        }
        for (const Declaration& sampler : scene.samplers) {
            const auto found = uniforms.find(sampler.name);
            if (found == uniforms.end()) {
                EXPECT_TRUE(isUnread(scene, sampler.name)) << sampler.name << " is missing";
                continue;
            }
            ++expectedActive;
            EXPECT_EQ(found->second.type, sampler.type) << sampler.name;
            EXPECT_EQ(samplerUnit(program, found->second.location), sampler.location) << sampler.name;
        }
        // Nothing beyond the row: every active uniform was matched above.
        EXPECT_EQ(uniforms.size(), expectedActive);
        for (const auto& [name, resource] : uniforms) {
            bool listed = false;
            for (const Declaration& d : scene.uniforms) listed |= name == d.name;
            for (const Declaration& d : scene.samplers) listed |= name == d.name;
            EXPECT_TRUE(listed) << "unexpected uniform " << name;
        }

        ASSERT_EQ(outputsFound.size(), scene.outputs.size());
        for (const Declaration& output : scene.outputs) {
            const auto found = outputsFound.find(output.name);
            ASSERT_NE(found, outputsFound.end()) << output.name;
            EXPECT_EQ(found->second.type, output.type) << output.name;
            EXPECT_EQ(found->second.location, output.location) << output.name;
        }
        GLX(glDeleteProgram)(static_cast<GLuint>(program));
    }
}
