// The studio's command line: what it accepts and the one line it gives for what it refuses.
#include "studio/studio_options.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

StudioOptionsResult parse(std::vector<const char*> arguments, StudioOptions* options, std::string* error,
                          const std::string& defaultSources = "") {
    return parseStudioOptions(int(arguments.size()), arguments.data(), defaultSources, options, error);
}

TEST(StudioOptions, DefaultsAndEveryOption) {
    StudioOptions options;
    std::string error;
    ASSERT_EQ(parse({}, &options, &error), StudioRun);
    EXPECT_EQ(options.width, 1280);
    EXPECT_EQ(options.height, 720);
    EXPECT_EQ(options.scale, 1.0f);
    EXPECT_EQ(options.tick, 0.0f);
    EXPECT_FALSE(options.paused || options.loop || options.printState);

    ASSERT_EQ(parse({"--tick", "636", "--paused", "--size", "640x360", "--scale", "0.25", "--sources", "/tmp",
                     "--loop", "600:700.5", "--print-state"},
                    &options, &error),
              StudioRun)
        << error;
    EXPECT_EQ(options.tick, 636.0f);
    EXPECT_TRUE(options.paused && options.loop && options.printState);
    EXPECT_EQ(options.width, 640);
    EXPECT_EQ(options.height, 360);
    EXPECT_EQ(options.scale, 0.25f);
    EXPECT_EQ(options.sources, "/tmp");
    EXPECT_EQ(options.loopFrom, 600.0f);
    EXPECT_EQ(options.loopTo, 700.5f);
    EXPECT_FALSE(options.sync);

    ASSERT_EQ(parse({"--sync", "1338"}, &options, &error), StudioRun) << error;
    EXPECT_TRUE(options.sync);
    EXPECT_EQ(options.syncHost, "127.0.0.1");
    EXPECT_EQ(options.syncPort, 1338);
    ASSERT_EQ(parse({"--sync", "editor.local:1400"}, &options, &error), StudioRun) << error;
    EXPECT_EQ(options.syncHost, "editor.local");
    EXPECT_EQ(options.syncPort, 1400);
}

TEST(StudioOptions, SourcesDefaultToTheBuildTreeWhenItExists) {
    StudioOptions options;
    std::string error;
    ASSERT_EQ(parse({}, &options, &error, "/tmp"), StudioRun);
    EXPECT_EQ(options.sources, "/tmp");
    ASSERT_EQ(parse({}, &options, &error, "/nonexistent/quorlax-tree"), StudioRun);
    EXPECT_EQ(options.sources, "");
}

TEST(StudioOptions, HelpWinsOverEverything) {
    StudioOptions options;
    std::string error;
    EXPECT_EQ(parse({"--scale", "0.5", "--help"}, &options, &error), StudioHelp);
    EXPECT_EQ(parse({"-h"}, &options, &error), StudioHelp);
}

TEST(StudioOptions, BadArgumentsSayWhatIsWrong) {
    struct Case {
        std::vector<const char*> arguments;
        const char* message;
    };
    const Case cases[] = {
        {{"--fast"}, "unknown argument '--fast' (--help lists them)"},
        {{"--tick"}, "--tick needs a value"},
        {{"--tick", "-1"}, "--tick needs a time of 0 or more in clock ticks, not '-1'"},
        {{"--tick", "12x"}, "--tick needs a time of 0 or more in clock ticks, not '12x'"},
        {{"--tick", "nan"}, "--tick needs a time of 0 or more in clock ticks, not 'nan'"},
        {{"--scale", "0"}, "--scale needs a number above 0 and at most 1, not '0'"},
        {{"--scale", "1.01"}, "--scale needs a number above 0 and at most 1, not '1.01'"},
        {{"--size", "640"}, "--size needs WxH with each side 16 to 16384, not '640'"},
        {{"--size", "8x8"}, "--size needs WxH with each side 16 to 16384, not '8x8'"},
        {{"--size", "640x360x2"}, "--size needs WxH with each side 16 to 16384, not '640x360x2'"},
        {{"--size", "x360"}, "--size needs WxH with each side 16 to 16384, not 'x360'"},
        {{"--loop", "700:600"}, "--loop needs FROM:TO in clock ticks with 0 <= FROM < TO, not '700:600'"},
        {{"--loop", "600"}, "--loop needs FROM:TO in clock ticks with 0 <= FROM < TO, not '600'"},
        {{"--loop", ":600"}, "--loop needs FROM:TO in clock ticks with 0 <= FROM < TO, not ':600'"},
        {{"--sources", "/nonexistent/quorlax-tree"},
         "--sources: '/nonexistent/quorlax-tree' is not a folder"},
        {{"--sync"}, "--sync needs a value"},
        {{"--sync", "70000"}, "--sync needs [HOST:]PORT with a port of 1 to 65535, not '70000'"},
        {{"--sync", "editor.local:"},
         "--sync needs [HOST:]PORT with a port of 1 to 65535, not 'editor.local:'"},
    };
    for (const Case& c : cases) {
        StudioOptions options;
        std::string error;
        EXPECT_EQ(parse(c.arguments, &options, &error), StudioBadArguments) << c.message;
        EXPECT_EQ(error, c.message);
    }
}

} // namespace
