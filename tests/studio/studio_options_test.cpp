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

void expectRefused(std::vector<const char*> arguments, const std::string& message) {
    StudioOptions options;
    std::string error;
    EXPECT_EQ(parse(arguments, &options, &error), StudioBadArguments) << message;
    EXPECT_EQ(error, message);
}

TEST(StudioOptions, BadArgumentsSayWhatIsWrong) {
    expectRefused({"--fast"}, "unknown argument '--fast' (--help lists them)");
    expectRefused({"--tick"}, "--tick needs a value");
    expectRefused({"--sync"}, "--sync needs a value");
    expectRefused({"--sources", "/nonexistent/quorlax-tree"},
                  "--sources: '/nonexistent/quorlax-tree' is not a folder");
    // Each value an option refuses is named in the option's one line.
    const struct {
        const char* option;
        const char* needs;
        std::vector<const char*> values;
    } refusals[] = {
        {"--tick", "a time of 0 or more in clock ticks", {"-1", "12x", "nan"}},
        {"--scale", "a number above 0 and at most 1", {"0", "1.01"}},
        {"--size", "WxH with each side 16 to 16384", {"640", "8x8", "640x360x2", "x360"}},
        {"--loop", "FROM:TO in clock ticks with 0 <= FROM < TO", {"700:600", "600", ":600"}},
        {"--sync", "[HOST:]PORT with a port of 1 to 65535", {"70000", "editor.local:"}},
    };
    for (const auto& r : refusals)
        for (const char* value : r.values)
            expectRefused({r.option, value},
                          std::string(r.option) + " needs " + r.needs + ", not '" + value + "'");
}

} // namespace
