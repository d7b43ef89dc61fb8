// songc: compiles the music sources, prints blobs back as sources, imports MIDI files.
#include "songc/songc.h"

#include "shared/input_file.h"
#include "shared/output_file.h"
#include "synth/patch.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "usage: songc [--patch P.toml] [--song S.toml] [options]\n"
    "\n"
    "Compiles a patch source and/or a song source (see docs/music-format.md).\n"
    "  --patch-out FILE.bin  write the patch words (1,848 little-endian u16)\n"
    "  --song-out FILE.bin   write the song bytes (header, coded event area, end marker)\n"
    "  --cpp FILE.cpp        write a C++ source defining builtinSongBytes and builtinPatchWords\n"
    "                        (needs both sources)\n"
    "  --stats               print records, constants and words used; notes per channel\n"
    "  --time                print how long the compilation took\n"
    "songc --dump FILE       print a patch-word or song blob back as source text\n"
    "songc --import-midi FILE.mid [-o OUT.toml]\n"
    "                        write a song source from a Standard MIDI File (format 0 or 1)\n"
    "\n"
    "Inputs are regular files of at most 4 MiB. Each output is written beside itself under a\n"
    "temporary name and renamed when complete: on a failure or Ctrl-C it is left as it was.\n"
    "Errors are printed as 'file:line: message'. Exit codes: 0 done; 1 bad input (a source or\n"
    "blob that does not compile or print) or a write that failed; 2 bad arguments, an input that\n"
    "cannot be read or an output that would replace an input; 128+signal when interrupted.\n";

// What the command line asks for.
struct SongcArguments {
    std::string patch, song, patchOut, songOut, cpp, dump, midi, output;
    bool stats = false, timing = false;
};

// The arguments that take a value; an output's value must end in `extension`.
struct ValueOption {
    const char* name;
    std::string SongcArguments::*value;
    const char* extension; // outputs only
};

const ValueOption kValueOptions[] = {
    {"--patch", &SongcArguments::patch, nullptr},
    {"--song", &SongcArguments::song, nullptr},
    {"--dump", &SongcArguments::dump, nullptr},
    {"--import-midi", &SongcArguments::midi, nullptr},
    {"--patch-out", &SongcArguments::patchOut, ".bin"},
    {"--song-out", &SongcArguments::songOut, ".bin"},
    {"--cpp", &SongcArguments::cpp, ".cpp"},
    {"-o", &SongcArguments::output, ".toml"},
};

int usageError(const std::string& message) {
    std::fprintf(stderr, "songc: %s\n(songc --help describes the arguments)\n", message.c_str());
    return 2;
}

int fail(const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    return 1;
}

// Reads the arguments and checks that they fit together; 0, -1 after the help, else the exit code.
int parseArguments(int argc, char** argv, SongcArguments* arguments) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            std::fputs(kUsage, stdout);
            return -1;
        }
        if (argument == "--stats" || argument == "--time") {
            (argument == "--stats" ? arguments->stats : arguments->timing) = true;
            continue;
        }
        const ValueOption* option = nullptr;
        for (const ValueOption& candidate : kValueOptions)
            if (argument == candidate.name) option = &candidate;
        if (!option) return usageError("unknown argument '" + argument + "'");
        if (i + 1 >= argc) return usageError("missing value after '" + argument + "'");
        std::string& value = arguments->*option->value;
        if (!value.empty()) return usageError("'" + argument + "' given twice");
        value = argv[++i];
        if (value.empty()) return usageError("empty path after '" + argument + "'");
        if (option->extension && !hasExtension(value.c_str(), option->extension))
            return usageError(argument + " writes a " + option->extension + " file: '" + value + "'");
    }
    const SongcArguments& a = *arguments;
    const bool compiling = !a.patch.empty() || !a.song.empty();
    if (int(compiling) + int(!a.dump.empty()) + int(!a.midi.empty()) > 1)
        return usageError("compile, --dump or --import-midi: one at a time");
    if (!compiling && a.dump.empty() && a.midi.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (!a.output.empty() && a.midi.empty()) return usageError("-o names the output of --import-midi");
    if (!a.patchOut.empty() && a.patch.empty()) return usageError("--patch-out needs --patch");
    if (!a.songOut.empty() && a.song.empty()) return usageError("--song-out needs --song");
    if (!a.cpp.empty() && (a.patch.empty() || a.song.empty()))
        return usageError("--cpp needs both --patch and --song");
    // An output that is one of the inputs would be lost to itself.
    for (const std::string* out : {&a.patchOut, &a.songOut, &a.cpp, &a.output})
        for (const std::string* in : {&a.patch, &a.song, &a.midi})
            if (!out->empty() && !in->empty() && (*out == *in || sameFile(out->c_str(), in->c_str())))
                return usageError("the output '" + *out + "' is an input");
    // Two outputs to one file would leave only the one written last.
    const std::string* outputs[] = {&a.patchOut, &a.songOut, &a.cpp, &a.output};
    for (size_t i = 0; i < std::size(outputs); ++i)
        for (size_t j = i + 1; j < std::size(outputs); ++j)
            if (!outputs[i]->empty() &&
                (*outputs[i] == *outputs[j] || sameFile(outputs[i]->c_str(), outputs[j]->c_str())))
                return usageError("the output '" + *outputs[i] + "' is named twice");
    return 0;
}

// Reads an input; false after printing why it cannot be read.
bool readInput(const std::string& path, std::string* bytes) {
    std::string error;
    if (readFile(path, bytes, &error)) return true;
    std::fprintf(stderr, "%s\n", error.c_str());
    return false;
}

int writeOutput(const std::string& path, const void* bytes, size_t size) {
    const std::string failure = writeOutputFile(path.c_str(), bytes, size);
    return failure.empty() ? 0 : fail("songc: cannot write '" + path + "': " + failure);
}

std::string cppSource(const std::vector<uint16_t>& patch, const std::vector<uint8_t>& song) {
    std::string text =
        "// Generated by songc from src/music: do not edit.\n#include \"synth/builtin_song.h\"\n\n"
        "namespace {\nconst uint8_t kSong[] = {";
    for (size_t i = 0; i < song.size(); ++i) text += (i % 24 ? "" : "\n") + std::to_string(song[i]) + ",";
    text += "\n};\nconst uint16_t kPatch[] = {";
    for (size_t i = 0; i < patch.size(); ++i) text += (i % 16 ? "" : "\n") + std::to_string(patch[i]) + ",";
    text +=
        "\n};\n} // namespace\n\nconst uint8_t* builtinSongBytes(size_t* size) {\n    *size = sizeof kSong;\n"
        "    return kSong;\n}\n\nconst uint16_t* builtinPatchWords() {\n    return kPatch;\n}\n";
    return text;
}

int importCommand(const SongcArguments& arguments) {
    std::string bytes, text, warnings, error;
    if (!readInput(arguments.midi, &bytes)) return 2;
    const bool ok = importMidiBytes(bytes, arguments.midi, &text, &warnings, &error);
    std::fputs(warnings.c_str(), stderr);
    if (!ok) return fail(error);
    if (arguments.output.empty()) {
        std::fputs(text.c_str(), stdout);
        return 0;
    }
    return writeOutput(arguments.output, text.data(), text.size());
}

int dumpCommand(const SongcArguments& arguments) {
    std::string bytes, text, error;
    if (!readInput(arguments.dump, &bytes)) return 2;
    // A patch is exactly kPatchWordCount words; a song of that size is tried as a song too.
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    bool done = false;
    if (bytes.size() == size_t(kPatchWordCount) * 2) {
        std::vector<uint16_t> words(kPatchWordCount);
        for (int i = 0; i < kPatchWordCount; ++i) words[i] = uint16_t(data[2 * i] | data[2 * i + 1] << 8);
        std::string songError;
        done = dumpPatch(words.data(), &text, &error) || dumpSong(data, bytes.size(), &text, &songError);
    } else {
        done = dumpSong(data, bytes.size(), &text, &error);
    }
    if (!done) return fail(arguments.dump + ": " + error);
    std::fputs(text.c_str(), stdout);
    return 0;
}

int compileCommand(const SongcArguments& arguments) {
    std::string patchText, songText, error;
    if (!arguments.patch.empty() && !readInput(arguments.patch, &patchText)) return 2;
    if (!arguments.song.empty() && !readInput(arguments.song, &songText)) return 2;
    const auto start = std::chrono::steady_clock::now();
    std::vector<uint16_t> patch;
    std::vector<uint8_t> song;
    if (!arguments.patch.empty() && !compilePatch(patchText, arguments.patch, &patch, &error))
        return fail(error);
    if (!arguments.song.empty() &&
        !compileSong(songText, arguments.song, patch.empty() ? nullptr : patch.data(), &song, &error))
        return fail(error);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (arguments.timing) std::printf("compiled in %.1f ms\n", seconds * 1000.0);
    if (arguments.stats && !patch.empty()) std::fputs(patchStats(patch.data()).c_str(), stdout);
    if (arguments.stats && !song.empty()) std::fputs(songStats(song.data(), song.size()).c_str(), stdout);
    if (!arguments.patchOut.empty())
        if (const int failed = writeOutput(arguments.patchOut, patch.data(), patch.size() * 2)) return failed;
    if (!arguments.songOut.empty())
        if (const int failed = writeOutput(arguments.songOut, song.data(), song.size())) return failed;
    if (!arguments.cpp.empty()) {
        const std::string source = cppSource(patch, song);
        return writeOutput(arguments.cpp, source.data(), source.size());
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    watchInterruptions("songc");
    SongcArguments arguments;
    const int parsed = parseArguments(argc, argv, &arguments);
    if (parsed) return parsed < 0 ? 0 : parsed;
    if (!arguments.midi.empty()) return importCommand(arguments);
    if (!arguments.dump.empty()) return dumpCommand(arguments);
    return compileCommand(arguments);
}
