// Test fixture for suites that need a current GL context (headless Mesa) and the entry table.
#pragma once

#include "support/gl_readback.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

// Size of the default framebuffer every GL test draws into.
constexpr int32_t kGlTestSurfaceSize = 256;

class GlTest : public ::testing::Test {
  protected:
    // Opens the process's one headless context and loads the GL entry table, once.
    static void SetUpTestSuite();
    void SetUp() override;
};
