// Program selection and uniforms set by name on the selected program.
#pragma once

#include "renderer/renderer.h"

#include <cstdint>

// glUseProgram with the handle (0 deselects; a failed build's -1 makes GL refuse it).
void selectProgram(int32_t program);

// Each looks the name up in `program` and sets it on the selected program; a name the program
// does not declare (location -1) is skipped.
void setUniform1i(int32_t program, const char* name, int32_t value);
void setUniform1f(int32_t program, const char* name, float value);
void setUniform2f(int32_t program, const char* name, float x, float y);
void setUniform3i(int32_t program, const char* name, int32_t x, int32_t y, int32_t z);
// 16 floats, column-major, not transposed.
void setUniformMatrix4(int32_t program, const char* name, const float* matrix);

// The uniforms every frame offers, in this order: "resolution", "fonttextureresolution",
// "noisetextureresolution", "time", "framecount", "mousepos", "mousebuttons", "tanfovy",
// "cameraworld", "prevcameraworld".
void uploadBuiltInUniforms(int32_t program, float time, uint32_t frameCount, const ViewInput* view);
