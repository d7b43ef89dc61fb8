// quorlax-capture's front end as a careless user meets it: one number syntax for every option,
// the ranges, the outputs each command writes, inputs that cannot be read, and the help. Every
// row ends before any work: a row whose arguments are good names an output in a missing folder,
// so it stops at the output check instead.
#include "support/tool_run.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

struct Row {
    std::string arguments;
    int exitCode;
    std::string message; // $D: the scratch folder
};

// A folder holding the inputs and outputs the rows name.
struct Stage {
    ScratchFolder folder;
    std::vector<std::string> before;

    Stage() {
        const std::string d = folder.path;
        EXPECT_TRUE(writeTextFile(d + "/out.wav", "kept"));
        EXPECT_TRUE(writeTextFile(d + "/in.toml", "tempo = 120.0\n"));
        EXPECT_EQ(symlink("out.wav", (d + "/link.toml").c_str()), 0);
        EXPECT_EQ(symlink("/dev/null", (d + "/null.wav").c_str()), 0);
        EXPECT_EQ(mkdir((d + "/dir").c_str(), 0755), 0);
        EXPECT_EQ(mkdir((d + "/dir.wav").c_str(), 0755), 0);
        EXPECT_EQ(mkfifo((d + "/fifo").c_str(), 0644), 0);
        EXPECT_EQ(mkfifo((d + "/fifo.wav").c_str(), 0644), 0);
        // One byte over the limit of an input, without writing 4 MiB.
        const int big = open((d + "/big.toml").c_str(), O_WRONLY | O_CREAT, 0644);
        EXPECT_EQ(ftruncate(big, (4 << 20) + 1), 0);
        close(big);
        before = folder.names();
    }
};

void expectRows(const Stage& stage, const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        const std::string arguments = withFolder(row.arguments, stage.folder.path);
        const ToolRun run = runCapture(arguments);
        EXPECT_EQ(run.exitCode, row.exitCode) << arguments << "\n" << run.output;
        EXPECT_NE(run.output.find(withFolder(row.message, stage.folder.path)), std::string::npos)
            << arguments << "\n"
            << run.output;
    }
    EXPECT_EQ(stage.folder.names(), stage.before) << "a refused command made or removed a file";
    EXPECT_EQ(readTextFile(stage.folder / "out.wav"), "kept");
}

const char kNowhere[] = "its folder does not exist";

TEST(CaptureArguments, EveryNumberHasOneSyntax) {
    Stage stage;
    const std::string frame = "frame --size 16x9 /nowhere/a.png --tick ";
    const std::string tick = "--tick needs a time in ticks, 0 or more: ";
    expectRows(stage, {
                          {frame + "0x10", 2, tick + "'0x10'"},
                          {frame + "' 10'", 2, tick + "' 10'"},
                          {frame + "'10 '", 2, tick + "'10 '"},
                          {frame + "''", 2, tick + "''"},
                          {frame + "1.2.3", 2, tick + "'1.2.3'"},
                          {frame + "1e999", 2, tick + "'1e999'"},
                          {frame + "nan", 2, tick + "'nan'"},
                          {frame + "inf", 2, tick + "'inf'"},
                          {frame + "1e", 2, tick + "'1e'"},
                          {frame + ".", 2, tick + "'.'"},
                          {frame + "-1", 2, tick + "'-1'"},
                          {frame + "3679", 2, "--tick 3679.000 is past the end of the show (tick 3678.65)"},
                          // Accepted: they fail at the output only.
                          {frame + "+1e1", 2, kNowhere},
                          {frame + ".5", 2, kNowhere},
                          {frame + "5.", 2, kNowhere},
                          {frame + "-0", 2, kNowhere},
                          {frame + "3678.65", 2, kNowhere},
                      });
}

TEST(CaptureArguments, RangesAndWholeNumbers) {
    Stage stage;
    const std::string frame = "frame --tick 1 /nowhere/a.png ";
    const std::string video = "video --size 64x36 /nowhere/a.mkv ";
    const std::string wav = "wav /nowhere/a.wav ";
    const std::string size = "--size needs WxH, each side 1 to 8192: ";
    expectRows(stage,
               {
                   {frame + "--size 16x9 --frames 7", 2, "--frames needs a count from 8 to 10000: '7'"},
                   {frame + "--size 16x9 --frames 10001", 2, "--frames needs a count from 8 to 10000"},
                   {frame + "--size 16x9 --frames 8.5", 2, "--frames needs a count from 8 to 10000"},
                   {frame + "--size 16x9 --frames 8", 2, kNowhere},
                   {frame + "--size 16x9 --frames 1e4", 2, kNowhere},
                   {frame + "--size 16x9 --fps 0", 2, "--fps needs a number of frames a second"},
                   {frame + "--size 16x9 --fps 1000.5", 2, "--fps needs a number of frames a second"},
                   {frame + "--size 16x9 --fps 0.001", 2, kNowhere},
                   {frame + "--size 0x9", 2, size + "'0x9'"},
                   {frame + "--size 8193x9", 2, size + "'8193x9'"},
                   {frame + "--size 16x", 2, size + "'16x'"},
                   {frame + "--size x9", 2, size + "'x9'"},
                   {frame + "--size 16x9x3", 2, size + "'16x9x3'"},
                   {frame + "--size -16x9", 2, size + "'-16x9'"},
                   {frame + "--size 16X9", 2, size + "'16X9'"},
                   {frame + "--size 8192x1", 2, kNowhere},
                   {video + "--fps 0", 2, "--fps needs a whole number from 1 to 240: '0'"},
                   {video + "--fps 241", 2, "--fps needs a whole number from 1 to 240"},
                   {video + "--fps 2.5", 2, "--fps needs a whole number from 1 to 240"},
                   {video + "--fps 10 --crf 52", 2, "--crf needs a whole number from 0 to 51: '52'"},
                   {video + "--fps 10 --crf 0x1", 2, "--crf needs a whole number from 0 to 51"},
                   {video + "--fps 240 --crf 51", 2, kNowhere},
                   {wav + "--frames 0", 2, "--frames needs a whole number of frames from 1 to 4294967295"},
                   {wav + "--frames 4294967296", 2, "--frames needs a whole number of frames"},
                   {wav + "--frames 12x", 2, "--frames needs a whole number of frames"},
                   {wav + "--frames 4294967295", 2, kNowhere},
                   {wav + "--channels 16", 2, "--channels needs a list of channels 0-15"},
                   {wav + "--channels 3-1", 2, "--channels needs a list of channels 0-15"},
                   {wav + "--channels 0,", 2, "--channels needs a list of channels 0-15"},
                   {wav + "--channels ''", 2, "--channels needs a list of channels 0-15"},
                   {wav + "--channels 0,2,5-7", 2, kNowhere},
               });
}

TEST(CaptureArguments, OptionsAndPathsOfEachCommand) {
    Stage stage;
    expectRows(
        stage,
        {
            {"frame --size 16x9 $D/a.png", 2, "missing --tick T"},
            {"frame --tick 10 $D/a.png", 2, "missing --size WxH"},
            {"video --size 16x8 $D/a.mkv", 2, "missing --fps N"},
            {"frame --tick 10 --size 16x9", 2, "missing the output path OUT.png"},
            {"video --size 16x8 --fps 5", 2, "missing the output path OUT.mp4|OUT.mkv"},
            {"wav $D/a.wav $D/b.wav", 2, "more than one output path: '$D/b.wav'"},
            {"frame --tick 10 --size", 2, "missing value after: '--size'"},
            {"wav --frames 9 --frames 9 $D/a.wav", 2, "an option given twice: '--frames'"},
            {"wav --loud $D/a.wav", 2, "unknown option: '--loud'"},
            {"wav --tick 3 $D/a.wav", 2, "an option of another command: '--tick'"},
            {"nonsense", 2, "unknown command 'nonsense'"},
            {"", 2, "usage: quorlax-capture COMMAND"},
            // What each command writes.
            {"frame --tick 1 --size 8x8 $D/a.jpg", 2, "the output must end in .png: '$D/a.jpg'"},
            {"sheet --size 8x8 $D/a.wav", 2, "the output must end in .png"},
            {"wav $D/a.mp3", 2, "the output must end in .wav: '$D/a.mp3'"},
            {"wav $D/", 2, "the output must end in .wav"},
            {"video --size 8x8 --fps 5 $D/a.avi", 2, "the output must end in .mp4 or .mkv"},
            {"glyphs $D/a.png", 2, "the output must end in .pgm"},
            {"wav /nowhere/A.WAV", 2, kNowhere},
            {"wav -- /nowhere/-odd.wav", 2, kNowhere},
            // A forgotten --patch leaves the patch as OUT.
            {"wav --song $D/in.toml $D/in.toml", 2, "the output must end in .wav"},
            {"wav --song $D/out.wav $D/out.wav", 2, "the output '$D/out.wav' is the input of --song"},
            {"wav --patch $D/link.toml $D/out.wav", 2, "is the input of --patch"},
            {"wav $D/dir.wav", 2, "cannot write '$D/dir.wav': it is a folder"},
            {"wav $D/fifo.wav", 2, "cannot write '$D/fifo.wav': it is not a regular file"},
            {"wav $D/null.wav", 2, "cannot write '$D/null.wav': it is not a regular file"},
            // Inputs are read whole, bounded, and never waited on.
            {"wav --song $D/missing.toml $D/a.wav", 2, "cannot read '$D/missing.toml': no such file"},
            {"wav --song $D/dir $D/a.wav", 2, "cannot read '$D/dir': it is a folder"},
            {"wav --song $D/fifo $D/a.wav", 2, "it is a FIFO (named pipe), not a regular file"},
            {"wav --patch /dev/zero $D/a.wav", 2, "cannot read '/dev/zero': it is a device"},
            {"wav --song $D/big.toml $D/a.wav", 2, "it is larger than 4 MiB, the most an input may hold"},
            // Spans: checked once the output is open, which is then removed.
            {"video --size 64x36 --fps 10 --from 50 --to 50 $D/a.mkv", 2, "--to must come after --from"},
            {"video --size 64x36 --fps 10 --from 3678.65 $D/a.mkv", 2,
             "the span from tick 3678.650 to 3678.653 is shorter than one frame at 10 fps (1.667 ticks)"},
            {"video --size 64x36 --fps 10 --to 3679 $D/a.mkv", 2, "--to 3679.000 is past the end"},
            {"video --size 63x36 --fps 10 $D/a.mp4", 2, "H.264 in MP4 needs even sides"},
            {"sheet --size 2049x8 $D/a.png", 2, "--size is too wide for four columns"},
        });
}

TEST(CaptureArguments, HelpListsTheOptionsFromTheTable) {
    const struct {
        const char* arguments;
        const char* line;
    } rows[] = {
        {"--help",
         "  wav [--frames N] [--song S.toml] [--patch P.toml] [--channels LIST] [--quiet] OUT.wav\n"},
        {"--help", "  video --size WxH --fps N [--from T] [--to T] [--crf Q] [--tracks T.rocket] [--quiet] "
                   "OUT.mp4|OUT.mkv\n"},
        {"frame --help",
         "usage: quorlax-capture frame --tick T --size WxH [--fps F] [--frames N] [--tracks T.rocket] "
         "[--quiet] OUT.png\n"},
        {"frame --help", "  --frames N       frames of the warm-up run, the last one at T (default 8)\n"},
        {"video --help",
         "the scenes start at ticks 0, 636, 892, 1402, 1661, 1916, 2048, 2300 and the show ends at "
         "tick 3678.65"},
        {"glyphs -h", "usage: quorlax-capture glyphs [--face NAME] [--quiet] OUT.pgm\n"},
    };
    for (const auto& row : rows) {
        const ToolRun run = runCapture(row.arguments);
        EXPECT_EQ(run.exitCode, 0) << row.arguments;
        EXPECT_NE(run.output.find(row.line), std::string::npos) << row.arguments << "\n" << run.output;
    }
    EXPECT_EQ(runCapture("wav --help").output.find("the scenes start"), std::string::npos)
        << "the times line belongs to the commands that take a time";
}

} // namespace
