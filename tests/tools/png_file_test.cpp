#include "base/memory.h"
#include "shared/png_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string scratchPath(const char* name) {
    return std::string(::testing::TempDir()) + name;
}

} // namespace

TEST(PngFile, RowsComeBackInFileOrder) {
    // 3 x 2, every byte distinct; the alpha channel must survive too.
    std::vector<uint8_t> rgba(3 * 2 * 4);
    for (size_t i = 0; i < rgba.size(); ++i) rgba[i] = static_cast<uint8_t>(i * 10 + 1);
    const std::string path = scratchPath("quorlax_png_test.png");
    for (int32_t bottomUp : {0, 1}) {
        ASSERT_EQ(writePngFile(path.c_str(), rgba.data(), 3, 2, bottomUp), 1);
        int32_t width = 0, height = 0;
        uint8_t* read = readPngFile(path.c_str(), &width, &height);
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(width, 3);
        EXPECT_EQ(height, 2);
        // Bottom-up input: the file's first row is the last row in memory.
        for (int32_t row = 0; row < 2; ++row) {
            int32_t source = bottomUp ? 1 - row : row;
            EXPECT_EQ(std::vector<uint8_t>(read + row * 12, read + row * 12 + 12),
                      std::vector<uint8_t>(rgba.begin() + source * 12, rgba.begin() + source * 12 + 12))
                << "bottomUp " << bottomUp << " row " << row;
        }
        memFree(read);
    }
    std::remove(path.c_str());
}

TEST(PngFile, BadPathsAndFilesAreRefused) {
    const uint8_t pixel[4] = {1, 2, 3, 4};
    EXPECT_EQ(writePngFile("/nonexistent-folder/x.png", pixel, 1, 1, 0), 0);
    EXPECT_EQ(writePngFile(scratchPath("empty.png").c_str(), pixel, 0, 1, 0), 0);
    const std::string path = scratchPath("quorlax_not_a_png.png");
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("not a picture", file);
    std::fclose(file);
    EXPECT_EQ(readPngFile(path.c_str(), nullptr, nullptr), nullptr);
    EXPECT_EQ(readPngFile("/nonexistent-folder/x.png", nullptr, nullptr), nullptr);
    std::remove(path.c_str());
}
