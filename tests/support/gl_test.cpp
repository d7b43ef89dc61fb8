#include "support/gl_test.h"

#include "platform/headless_gl.h"
#include "renderer/gl_entries.h"
#include "renderer/renderer.h"

namespace {
bool contextOpen = false;
bool entriesLoaded = false;
} // namespace

void GlTest::SetUpTestSuite() {
    if (!contextOpen) contextOpen = openHeadlessGl(kGlTestSurfaceSize, kGlTestSurfaceSize) == 1;
    if (contextOpen && !entriesLoaded) entriesLoaded = loadGlEntryPoints(glEntryTable()) == 1;
}

void GlTest::SetUp() {
    ASSERT_TRUE(contextOpen) << "no headless GL context";
    ASSERT_TRUE(entriesLoaded) << "GL entry points did not resolve";
    while (glGetError() != GL_NO_ERROR) {
    }
}
