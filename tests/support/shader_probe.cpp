#include "support/shader_probe.h"

#include "renderer/gl_entries.h"
#include "renderer/shader_assembly.h"
#include "support/gl_test.h"

#include <gtest/gtest.h>

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
