// Headless GL on Mesa: an EGL surfaceless-platform display with a pbuffer surface and a 4.5
// compatibility-profile context.
#include "platform/headless_gl.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <cstdio>
#include <cstring>

namespace {

struct HeadlessGl {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLContext context = EGL_NO_CONTEXT;
    EGLSurface surface = EGL_NO_SURFACE;
    char description[256] = "";
};

HeadlessGl headless;

EGLDisplay openDisplay() {
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (getPlatformDisplay) {
        EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (display != EGL_NO_DISPLAY && eglInitialize(display, nullptr, nullptr)) return display;
    }
    EGLDisplay display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    if (display != EGL_NO_DISPLAY && eglInitialize(display, nullptr, nullptr)) return display;
    return EGL_NO_DISPLAY;
}

} // namespace

int openHeadlessGl(int width, int height) {
    if (headless.context != EGL_NO_CONTEXT) return 1;
    headless.display = openDisplay();
    if (headless.display == EGL_NO_DISPLAY) return 0;
    if (!eglBindAPI(EGL_OPENGL_API)) return closeHeadlessGl(), 0;

    const EGLint configAttributes[] = {EGL_SURFACE_TYPE,
                                       EGL_PBUFFER_BIT,
                                       EGL_RENDERABLE_TYPE,
                                       EGL_OPENGL_BIT,
                                       EGL_RED_SIZE,
                                       8,
                                       EGL_GREEN_SIZE,
                                       8,
                                       EGL_BLUE_SIZE,
                                       8,
                                       EGL_ALPHA_SIZE,
                                       8,
                                       EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configCount = 0;
    if (!eglChooseConfig(headless.display, configAttributes, &config, 1, &configCount) || configCount < 1)
        config = nullptr;

    const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION,
                                        4,
                                        EGL_CONTEXT_MINOR_VERSION,
                                        5,
                                        EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                        EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                                        EGL_NONE};
    headless.context = eglCreateContext(headless.display, config, EGL_NO_CONTEXT, contextAttributes);
    if (headless.context == EGL_NO_CONTEXT) return closeHeadlessGl(), 0;

    // A pbuffer gives the context a default framebuffer of the requested size, which is where the
    // frame pass blits its picture; without a config the context runs surfaceless.
    if (config) {
        const EGLint pbufferAttributes[] = {EGL_WIDTH, width > 0 ? width : 1, EGL_HEIGHT,
                                            height > 0 ? height : 1, EGL_NONE};
        headless.surface = eglCreatePbufferSurface(headless.display, config, pbufferAttributes);
    }
    if (!eglMakeCurrent(headless.display, headless.surface, headless.surface, headless.context))
        return closeHeadlessGl(), 0;
    std::snprintf(headless.description, sizeof headless.description, "%s | %s | GLSL %s",
                  reinterpret_cast<const char*>(glGetString(GL_VERSION)),
                  reinterpret_cast<const char*>(glGetString(GL_RENDERER)),
                  reinterpret_cast<const char*>(glGetString(GL_SHADING_LANGUAGE_VERSION)));
    return 1;
}

void closeHeadlessGl() {
    if (headless.display != EGL_NO_DISPLAY) {
        eglMakeCurrent(headless.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (headless.surface != EGL_NO_SURFACE) eglDestroySurface(headless.display, headless.surface);
        if (headless.context != EGL_NO_CONTEXT) eglDestroyContext(headless.display, headless.context);
        eglTerminate(headless.display);
    }
    headless = HeadlessGl{};
}

const char* headlessGlDescription() {
    return headless.description;
}
