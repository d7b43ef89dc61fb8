// The table of GL entry points beyond OpenGL 1.1, filled by name at start-up.
#pragma once

#include "renderer/gl_api.h"

#include <cstdint>

// One list: slot order, names and call types. The order is the table layout.
#define QUORLAX_GL_ENTRY_POINTS(X)                                                                           \
    X(glActiveTextureARB, PFNGLACTIVETEXTUREARBPROC)                                                         \
    X(glClientActiveTextureARB, PFNGLCLIENTACTIVETEXTUREARBPROC)                                             \
    X(glMultiTexCoord4fvARB, PFNGLMULTITEXCOORD4FVARBPROC)                                                   \
    X(glDeleteProgramsARB, PFNGLDELETEPROGRAMSARBPROC)                                                       \
    X(glBindProgramARB, PFNGLBINDPROGRAMARBPROC)                                                             \
    X(glProgramStringARB, PFNGLPROGRAMSTRINGARBPROC)                                                         \
    X(glProgramLocalParameter4fvARB, PFNGLPROGRAMLOCALPARAMETER4FVARBPROC)                                   \
    X(glProgramEnvParameter4fvARB, PFNGLPROGRAMENVPARAMETER4FVARBPROC)                                       \
    X(glTexImage3D, PFNGLTEXIMAGE3DPROC)                                                                     \
    X(glBindBufferARB, PFNGLBINDBUFFERARBPROC)                                                               \
    X(glBufferDataARB, PFNGLBUFFERDATAARBPROC)                                                               \
    X(glBufferSubDataARB, PFNGLBUFFERSUBDATAARBPROC)                                                         \
    X(glDeleteBuffersARB, PFNGLDELETEBUFFERSARBPROC)                                                         \
    X(glCreateShaderProgramv, PFNGLCREATESHADERPROGRAMVPROC)                                                 \
    X(glUseProgram, PFNGLUSEPROGRAMPROC)                                                                     \
    X(glUniform4fv, PFNGLUNIFORM4FVPROC)                                                                     \
    X(glUniform1i, PFNGLUNIFORM1IPROC)                                                                       \
    X(glUniform1f, PFNGLUNIFORM1FPROC)                                                                       \
    X(glUniform2i, PFNGLUNIFORM2IPROC)                                                                       \
    X(glUniform2f, PFNGLUNIFORM2FPROC)                                                                       \
    X(glUniform3i, PFNGLUNIFORM3IPROC)                                                                       \
    X(glUniform3f, PFNGLUNIFORM3FPROC)                                                                       \
    X(glUniform4i, PFNGLUNIFORM4IPROC)                                                                       \
    X(glUniform4f, PFNGLUNIFORM4FPROC)                                                                       \
    X(glUniformMatrix4fv, PFNGLUNIFORMMATRIX4FVPROC)                                                         \
    X(glGetUniformLocation, PFNGLGETUNIFORMLOCATIONPROC)                                                     \
    X(glGetObjectParameterivARB, PFNGLGETOBJECTPARAMETERIVARBPROC)                                           \
    X(glGetProgramInfoLog, PFNGLGETPROGRAMINFOLOGPROC)                                                       \
    X(glGetProgramiv, PFNGLGETPROGRAMIVPROC)                                                                 \
    X(glDeleteProgram, PFNGLDELETEPROGRAMPROC)                                                               \
    X(glGetProgramInterfaceiv, PFNGLGETPROGRAMINTERFACEIVPROC)                                               \
    X(glGetProgramResourceiv, PFNGLGETPROGRAMRESOURCEIVPROC)                                                 \
    X(glLoadTransposeMatrixf, PFNGLLOADTRANSPOSEMATRIXFARBPROC)                                              \
    X(glBindRenderbufferEXT, PFNGLBINDRENDERBUFFEREXTPROC)                                                   \
    X(glDeleteRenderbuffersEXT, PFNGLDELETERENDERBUFFERSEXTPROC)                                             \
    X(glRenderbufferStorageEXT, PFNGLRENDERBUFFERSTORAGEEXTPROC)                                             \
    X(glBindFramebufferEXT, PFNGLBINDFRAMEBUFFEREXTPROC)                                                     \
    X(glDeleteFramebuffersEXT, PFNGLDELETEFRAMEBUFFERSEXTPROC)                                               \
    X(glCheckFramebufferStatusEXT, PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC)                                       \
    X(glFramebufferTexture, PFNGLFRAMEBUFFERTEXTUREPROC)                                                     \
    X(glFramebufferRenderbufferEXT, PFNGLFRAMEBUFFERRENDERBUFFEREXTPROC)                                     \
    X(glGenerateMipmap, PFNGLGENERATEMIPMAPPROC)                                                             \
    X(glGenFramebuffers, PFNGLGENFRAMEBUFFERSPROC)                                                           \
    X(glBindFramebuffer, PFNGLBINDFRAMEBUFFERPROC)                                                           \
    X(glDeleteFramebuffers, PFNGLDELETEFRAMEBUFFERSPROC)                                                     \
    X(glActiveTexture, PFNGLACTIVETEXTUREPROC)                                                               \
    X(glDrawBuffers, PFNGLDRAWBUFFERSPROC)                                                                   \
    X(glBlitNamedFramebuffer, PFNGLBLITNAMEDFRAMEBUFFERPROC)                                                 \
    X(wglSwapIntervalEXT, PFNWGLSWAPINTERVALEXTPROC)

enum GlSlot : int32_t {
#define QUORLAX_GL_SLOT(name, type) GlSlot_##name,
    QUORLAX_GL_ENTRY_POINTS(QUORLAX_GL_SLOT)
#undef QUORLAX_GL_SLOT
        GlSlotCount
};
static_assert(GlSlotCount == 49);

// The packed list of NUL-separated names in slot order (ends with an empty name).
extern const char kGlEntryNames[];

struct GlEntryTable {
    void (*slots[GlSlotCount])();
};

GlEntryTable* glEntryTable();

// Fills the table in slot order through the platform's lookup, stopping at the first name it
// cannot resolve (later slots stay empty). Returns 1 when all names resolved, else 0.
int32_t loadGlEntryPoints(GlEntryTable* table);

// Call an entry point through its slot with its proper type: GLX(glUseProgram)(program).
#define QUORLAX_GL_TYPE(name, type) using GlType_##name = type;
QUORLAX_GL_ENTRY_POINTS(QUORLAX_GL_TYPE)
#undef QUORLAX_GL_TYPE
#define GLX(name) (reinterpret_cast<GlType_##name>(glEntryTable()->slots[GlSlot_##name]))
