// Every scene program builds on the driver and passes the reference compiler, includes expanded.
#include "base/memory.h"
#include "renderer/gl_entries.h"
#include "renderer/shader_assembly.h"
#include "support/scene_stage.h"
#include "support/gl_test.h"
#include "support/shader_probe.h"

#include <string>

class ScenePrograms : public GlTest {};

TEST_F(ScenePrograms, BuildOnTheDriverAndPassTheReferenceCompiler) {
    for (int32_t scene = 1; scene <= 8; ++scene) {
        SCOPED_TRACE("scene " + std::to_string(scene));
        const char* text = embeddedSceneText(scene);
        ASSERT_NE(text, nullptr);
        const int32_t program = buildSceneProgram(text);
        ASSERT_GT(program, 0) << sceneProgramLog();
        GLX(glDeleteProgram)(static_cast<GLuint>(program));
        const char* expanded = expandIncludes(text);
        ASSERT_NE(expanded, text) << "includes nothing";
        const std::string full = expanded;
        memFree(const_cast<char*>(expanded));
        EXPECT_GLSLANG_ACCEPTS(full);
    }
}
