#include "renderer/uniforms.h"

#include "base/text.h"
#include "renderer/gl_entries.h"
#include "renderer/glyph_atlas.h"
#include "renderer/noise_textures.h"

void selectProgram(int32_t program) {
    GLX(glUseProgram)(static_cast<GLuint>(program));
}

void setUniform1i(int32_t program, const char* name, int32_t value) {
    GLint location = GLX(glGetUniformLocation)(static_cast<GLuint>(program), name);
    if (location >= 0) GLX(glUniform1i)(location, value);
}

void setUniform1f(int32_t program, const char* name, float value) {
    GLint location = GLX(glGetUniformLocation)(static_cast<GLuint>(program), name);
    if (location >= 0) GLX(glUniform1f)(location, value);
}

void setUniform2f(int32_t program, const char* name, float x, float y) {
    GLint location = GLX(glGetUniformLocation)(static_cast<GLuint>(program), name);
    if (location >= 0) GLX(glUniform2f)(location, x, y);
}

void setUniform3i(int32_t program, const char* name, int32_t x, int32_t y, int32_t z) {
    GLint location = GLX(glGetUniformLocation)(static_cast<GLuint>(program), name);
    if (location >= 0) GLX(glUniform3i)(location, x, y, z);
}

void setUniformMatrix4(int32_t program, const char* name, const float* matrix) {
    GLint location = GLX(glGetUniformLocation)(static_cast<GLuint>(program), name);
    if (location >= 0) GLX(glUniformMatrix4fv)(location, 1, GL_FALSE, matrix);
}

void uploadBuiltInUniforms(int32_t program, float time, uint32_t frameCount, const ViewInput* view) {
    const float width = static_cast<float>(viewWidth());
    const float height = static_cast<float>(viewHeight());
    setUniform2f(program, "resolution", width, height);
    setUniform2f(program, "fonttextureresolution", float(kGlyphAtlasSize), float(kGlyphAtlasSize));
    setUniform2f(program, "noisetextureresolution", float(kNoiseSize2D), float(kNoiseSize2D));
    setUniform1f(program, "time", time);
    setUniform1i(program, "framecount", static_cast<int32_t>(frameCount));
    setUniform2f(program, "mousepos", static_cast<float>(view->pointerX) / width,
                 1.0f - static_cast<float>(view->pointerY) / height);
    setUniform3i(program, "mousebuttons", view->buttons[0], view->buttons[1], view->buttons[2]);
    setUniform1f(program, "tanfovy", tangent(view->fieldOfView));
    setUniformMatrix4(program, "cameraworld", view->cameraMatrix);
    setUniformMatrix4(program, "prevcameraworld", view->previousCameraMatrix);
}
