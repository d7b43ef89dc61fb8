#include "base/memory.h"
#include "shared/png_file.h"
#include "support/tool_run.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(PngFile, RowsComeBackInFileOrder) {
    // 3 x 2, every byte distinct; the alpha channel must survive too.
    std::vector<uint8_t> rgba(3 * 2 * 4);
    for (size_t i = 0; i < rgba.size(); ++i) rgba[i] = static_cast<uint8_t>(i * 10 + 1);
    ScratchFolder folder;
    const std::string path = folder / "rows.png";
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
}

TEST(PngFile, BadPathsAndFilesAreRefused) {
    const uint8_t pixel[4] = {1, 2, 3, 4};
    EXPECT_EQ(writePngFile("/nonexistent-folder/x.png", pixel, 1, 1, 0), 0);
    ScratchFolder folder;
    EXPECT_EQ(writePngFile((folder / "empty.png").c_str(), pixel, 0, 1, 0), 0);
    EXPECT_EQ(folder.names(), std::vector<std::string>{}) << "a refused picture left a file";
    ASSERT_TRUE(writeTextFile(folder / "not_a.png", "not a picture"));
    EXPECT_EQ(readPngFile((folder / "not_a.png").c_str(), nullptr, nullptr), nullptr);
    EXPECT_EQ(readPngFile("/nonexistent-folder/x.png", nullptr, nullptr), nullptr);
}
