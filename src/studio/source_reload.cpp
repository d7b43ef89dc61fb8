#include "studio/source_reload.h"

#include "framework/scenes.h"
#include "platform/file_watch.h"
#include "renderer/gl_entries.h"
#include "renderer/shader_assembly.h"
#include "shaders/embedded_shaders.h"
#include "shared/input_file.h"
#include "songc/songc.h"
#include "studio/shader_lines.h"
#include "studio/studio_music.h"
#include "synth/builtin_song.h"
#include "synth/patch.h"
#include "synth/song.h"
#include "trackc/track_file.h"
#include "trackc/track_override.h"

#include <map>
#include <set>

namespace {

enum SourceKind : int32_t { KindShaders, KindMusic, KindTracks, KindCount };

constexpr const char* kFolders[KindCount] = {"src/shaders", "src/music", "src/tracks"};
// How messages name a shader file: its path in the tree.
constexpr char kShaderPrefix[] = "src/shaders/";
constexpr const char* kWhat[KindCount] = {"shaders", "music", "tracks"};
constexpr const char* kSongFile = "src/music/song.toml";
constexpr const char* kPatchFile = "src/music/patch.toml";
constexpr const char* kTrackFile = "src/tracks/show.rocket";
// An editor's save may be a truncation and several writes; the reload waits for this much quiet.
constexpr uint64_t kQuietMicroseconds = 150000;

struct SourceTree {
    std::string root;
    FileWatch* watch = nullptr;
    // The shader texts in use by file name; the libraries' entries are what the builds include.
    std::map<std::string, std::string> shaderTexts;
    std::set<std::string> changedShaders;
    bool due[KindCount] = {};
    bool forced[KindCount] = {};    // F5: report what is unchanged too
    bool immediate[KindCount] = {}; // marked by markAllSources: no quiet time to wait
    bool quiet[KindCount] = {};     // the start: only errors are reported
    uint64_t changedAt[KindCount] = {};
    std::vector<uint8_t> song;
    std::vector<uint16_t> patch;
    std::string trackText;
};

SourceTree tree;

bool endsWith(const std::string& text, const char* ending) {
    const std::string tail = ending;
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

void noteChange(void*, int32_t folder, const char* name) {
    const std::string file = name;
    if (folder == KindShaders && (endsWith(file, ".glsl") || endsWith(file, ".inl")))
        tree.changedShaders.insert(file);
    else if (!(folder == KindMusic && (file == "song.toml" || file == "patch.toml")) &&
             !(folder == KindTracks && file == "show.rocket"))
        return;
    tree.due[folder] = true;
    tree.changedAt[folder] = 0; // stamped by the poll that noticed it
}

bool readSource(const std::string& file, std::string* text) {
    return readInputFile((tree.root + "/" + file).c_str(), text).empty();
}

std::string shaderPath(const std::string& name) {
    return kShaderPrefix + name;
}

std::vector<TracedLibrary> tracedLibraries() {
    std::vector<TracedLibrary> libraries;
    const IncludeLibraryEntry* entries = includeLibrary();
    for (int32_t i = 0; i < kIncludeLibraryCount; ++i)
        libraries.push_back({entries[i].name, shaderPath(entries[i].name), entries[i].text});
    return libraries;
}

bool isLibrary(const std::string& name) {
    const IncludeLibraryEntry* entries = includeLibrary();
    for (int32_t i = 0; i < kIncludeLibraryCount; ++i)
        if (name == entries[i].name) return true;
    return false;
}

// Builds scene `index` from its text; on success the new program replaces the old one.
bool rebuildScene(int32_t index, ReloadOutcome* outcome) {
    const std::string file = sceneProgramFile(index);
    const std::string& text = tree.shaderTexts[file];
    const int32_t program = buildSceneProgram(text.c_str());
    SceneState* state = sceneStateAt(index);
    if (program >= 0) {
        if (state) {
            if (state->program > 0) GLX(glDeleteProgram)(static_cast<GLuint>(state->program));
            state->program = program;
        }
        return true;
    }
    const std::string shown = shaderPath(file);
    const std::string mapped =
        mapProgramLog(sceneProgramLog(), traceExpandedLines(shown, text.c_str(), tracedLibraries()), shown);
    outcome->error += mapped.empty() ? shown + ": the program did not build\n" : mapped;
    return false;
}

ReloadOutcome reloadShaders() {
    ReloadOutcome outcome;
    outcome.what = kWhat[KindShaders];
    std::set<std::string> changed;
    for (const std::string& name : tree.changedShaders) {
        std::string text;
        if (!readSource(shaderPath(name), &text)) continue;
        auto known = tree.shaderTexts.find(name);
        // Only the texts the show has: a new file is nobody's program or library.
        if (known == tree.shaderTexts.end() || known->second == text) continue;
        known->second = text;
        changed.insert(name);
    }
    tree.changedShaders.clear();
    for (const std::string& name : changed)
        if (isLibrary(name)) setIncludeLibraryText(name.c_str(), tree.shaderTexts[name].c_str());
    if (changed.empty()) {
        outcome.happened = tree.forced[KindShaders];
        outcome.detail = "unchanged";
        return outcome;
    }
    outcome.happened = true;
    const std::vector<TracedLibrary> libraries = tracedLibraries();
    for (int32_t index = 0; index < kSceneCount; ++index) {
        const std::string file = sceneProgramFile(index);
        bool uses = false;
        for (const SourceLine& line :
             traceExpandedLines(shaderPath(file), tree.shaderTexts[file].c_str(), libraries))
            uses = uses || changed.count(line.file.substr(sizeof kShaderPrefix - 1)) > 0;
        if (!uses) continue;
        if (rebuildScene(index, &outcome)) {
            outcome.detail += (outcome.detail.empty() ? "" : " ") + file;
            outcome.redraw = true;
        } else {
            outcome.ok = false;
        }
    }
    if (!outcome.ok) {
        // Scenes that include the same broken library report the same lines: each is kept once.
        std::string distinct;
        std::set<std::string> seen;
        for (size_t start = 0; start < outcome.error.size();) {
            const size_t end = outcome.error.find('\n', start);
            const std::string line = outcome.error.substr(start, end - start + 1);
            if (seen.insert(line).second) distinct += line;
            start = end == std::string::npos ? outcome.error.size() : end + 1;
        }
        outcome.error = distinct;
        outcome.detail = outcome.error.substr(0, outcome.error.find(": "));
    }
    return outcome;
}

bool compileMusic(std::vector<uint8_t>* song, std::vector<uint16_t>* patch, std::string* error) {
    std::string songText, patchText;
    const std::string songProblem = readInputFile((tree.root + "/" + kSongFile).c_str(), &songText);
    const std::string patchProblem = readInputFile((tree.root + "/" + kPatchFile).c_str(), &patchText);
    if (!songProblem.empty() || !patchProblem.empty()) {
        *error = "";
        return false;
    }
    return compilePatch(patchText, kPatchFile, patch, error) &&
           compileSong(songText, kSongFile, patch->data(), song, error);
}

ReloadOutcome reloadMusic() {
    ReloadOutcome outcome;
    outcome.what = kWhat[KindMusic];
    std::vector<uint8_t> song;
    std::vector<uint16_t> patch;
    std::string error;
    if (!compileMusic(&song, &patch, &error)) {
        // An unreadable file is waited out; a refused one is reported.
        if (error.empty()) return outcome;
        outcome.happened = true;
        outcome.ok = false;
        outcome.error = error + "\n";
        outcome.detail = error.substr(0, error.find(": "));
        return outcome;
    }
    if (song == tree.song && patch == tree.patch) {
        outcome.happened = tree.forced[KindMusic];
        outcome.detail = "unchanged";
        return outcome;
    }
    tree.song = song;
    tree.patch = patch;
    renderStudioSong(song, patch);
    outcome.happened = true;
    outcome.detail = "rendering";
    return outcome;
}

ReloadOutcome reloadTracks() {
    ReloadOutcome outcome;
    outcome.what = kWhat[KindTracks];
    std::string text;
    if (!readSource(kTrackFile, &text)) return outcome;
    if (text == tree.trackText) {
        outcome.happened = tree.forced[KindTracks];
        outcome.detail = "unchanged";
        return outcome;
    }
    outcome.happened = true;
    TrackDocument document;
    std::string error;
    // The rows are clock ticks of the song in the tree: a file for another tempo is refused.
    SongHeader header;
    readSongHeader(tree.song.data(), tree.song.size(), &header);
    if (!readTrackDocument(text, kTrackFile, header.tempo, &document, &error) ||
        !replaceTrackKeys(&frameworkState()->registry, document, kTrackFile, &error)) {
        outcome.ok = false;
        outcome.error = error + "\n";
        outcome.detail = error.substr(0, error.find(": "));
        return outcome;
    }
    tree.trackText = text;
    outcome.redraw = true;
    outcome.detail = std::to_string(document.tracks.size()) + " tracks";
    return outcome;
}

} // namespace

void openSourceTree(const std::string& root) {
    closeSourceTree();
    tree.root = root;
    for (int32_t index = 0; index < kSceneCount; ++index)
        if (const char* text = findEmbeddedShader(sceneProgramFile(index)))
            tree.shaderTexts[sceneProgramFile(index)] = text;
    const IncludeLibraryEntry* entries = includeLibrary();
    for (int32_t i = 0; i < kIncludeLibraryCount; ++i)
        if (entries[i].text) tree.shaderTexts[entries[i].name] = entries[i].text;
    if (root.empty()) return;
    const std::string folders[KindCount] = {root + "/" + kFolders[0], root + "/" + kFolders[1],
                                            root + "/" + kFolders[2]};
    const char* paths[KindCount] = {folders[0].c_str(), folders[1].c_str(), folders[2].c_str()};
    tree.watch = fileWatchServices()->openFileWatch(paths, KindCount);
}

void closeSourceTree() {
    fileWatchServices()->closeFileWatch(tree.watch);
    const IncludeLibraryEntry* entries = includeLibrary();
    for (int32_t i = 0; i < kIncludeLibraryCount; ++i) setIncludeLibraryText(entries[i].name, nullptr);
    tree = SourceTree{};
}

bool sourceTreeWatched() {
    return tree.watch != nullptr;
}

bool pollSourceTree(uint64_t nowMicroseconds) {
    if (tree.watch) fileWatchServices()->pollFileWatch(tree.watch, noteChange, nullptr);
    bool ready = false;
    for (int32_t kind = 0; kind < KindCount; ++kind) {
        if (!tree.due[kind]) continue;
        // Every new change restarts the quiet time.
        if (tree.changedAt[kind] == 0) tree.changedAt[kind] = nowMicroseconds;
        if (tree.immediate[kind] || nowMicroseconds - tree.changedAt[kind] >= kQuietMicroseconds)
            ready = true;
    }
    return ready;
}

void markAllSources(bool reportUnchanged) {
    if (tree.root.empty()) return;
    for (const auto& [name, text] : tree.shaderTexts) tree.changedShaders.insert(name);
    for (int32_t kind = 0; kind < KindCount; ++kind) {
        tree.due[kind] = tree.immediate[kind] = true;
        tree.forced[kind] = reportUnchanged;
        tree.quiet[kind] = !reportUnchanged;
    }
}

void reloadDueSources(uint64_t nowMicroseconds, void (*report)(void* context, const ReloadOutcome& outcome),
                      void* context) {
    ReloadOutcome (*const reloads[KindCount])() = {reloadShaders, reloadMusic, reloadTracks};
    for (int32_t kind = 0; kind < KindCount; ++kind) {
        if (!tree.due[kind]) continue;
        if (!tree.immediate[kind] &&
            (tree.changedAt[kind] == 0 || nowMicroseconds - tree.changedAt[kind] < kQuietMicroseconds))
            continue;
        tree.due[kind] = tree.immediate[kind] = false;
        const ReloadOutcome outcome = reloads[kind]();
        const bool quiet = tree.quiet[kind] && outcome.ok;
        tree.forced[kind] = tree.quiet[kind] = false;
        if (outcome.happened && !quiet) report(context, outcome);
    }
}

void startingMusic(std::string* error) {
    error->clear();
    if (!tree.root.empty() && compileMusic(&tree.song, &tree.patch, error)) {
        renderStudioSong(tree.song, tree.patch);
        return;
    }
    size_t size = 0;
    const uint8_t* bytes = builtinSongBytes(&size);
    tree.song.assign(bytes, bytes + size);
    tree.patch.assign(builtinPatchWords(), builtinPatchWords() + kPatchWordCount);
    renderStudioSong(tree.song, tree.patch);
}
