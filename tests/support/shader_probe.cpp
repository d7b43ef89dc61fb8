#include "support/shader_probe.h"

#include "renderer/gl_entries.h"
#include "renderer/shader_assembly.h"
#include "support/gl_test.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

uint32_t makeFloatTexture2D(int32_t width, int32_t height, const float* rgba) {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, width, height, 0, GL_RGBA, GL_FLOAT, rgba);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    return texture;
}

std::vector<float> renderProbe(const char* fragmentText, int32_t width, int32_t height) {
    int32_t program = buildSceneProgram(fragmentText);
    if (program < 0) {
        ADD_FAILURE() << "probe did not build:\n" << sceneProgramLog();
        return {};
    }
    GLint previousActive = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &previousActive);
    GLX(glActiveTexture)(GL_TEXTURE15); // keep the caller's units untouched
    GLuint target = makeFloatTexture2D(width, height, nullptr);
    GLuint framebuffer = bindTextureFramebuffer(target);
    glViewport(0, 0, width, height);
    GLX(glUseProgram)(static_cast<GLuint>(program));
    glRects(-1, -1, 1, 1);
    GLX(glUseProgram)(0);
    GLX(glBindFramebuffer)(GL_FRAMEBUFFER, 0);
    std::vector<float> pixels = readTextureFloats(target);
    GLX(glDeleteFramebuffers)(1, &framebuffer);
    glDeleteTextures(1, &target);
    GLX(glDeleteProgram)(static_cast<GLuint>(program));
    GLX(glActiveTexture)(static_cast<GLenum>(previousActive));
    return pixels;
}

bool glslangAvailable() {
    return std::system("command -v glslangValidator >/dev/null 2>&1") == 0;
}

bool glslangRequired() {
#if defined(QUORLAX_REQUIRE_GLSLANG)
    return true;
#else
    return false;
#endif
}

std::string glslangErrors(const std::string& fragmentText) {
    const std::string path = ::testing::TempDir() + "quorlax_probe.frag";
    std::ofstream(path) << fragmentText;
    const int status = std::system(("glslangValidator -S frag " + path + " > " + path + ".log 2>&1").c_str());
    std::ifstream logFile(path + ".log");
    std::string log((std::istreambuf_iterator<char>(logFile)), std::istreambuf_iterator<char>());
    std::remove(path.c_str());
    std::remove((path + ".log").c_str());
    return status == 0 ? "" : log.empty() ? "failed" : log;
}
