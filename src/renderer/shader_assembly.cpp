#include "renderer/shader_assembly.h"

#include "base/memory.h"
#include "base/text.h"
#include "renderer/gl_entries.h"
#include "shaders/embedded_shaders.h"

namespace {

constexpr char kIncludeMarker[] = "#include";
// An include line is cut to this many characters; it lives in a zero-filled buffer one longer.
constexpr int32_t kIncludeLineLimit = 255;
constexpr int32_t kProgramLogSize = 1024;
// Every expansion copies the whole text, so each costs as much as the text has grown; a text
// holding thousands of include lines would take minutes. A scene includes each library once, so
// past this many the remaining lines are left for the compiler to reject.
constexpr int32_t kIncludeExpansionLimit = 16;

IncludeLibraryEntry library[kIncludeLibraryCount] = {
    {"common.inl", nullptr},
    {"postprocess.inl", nullptr},
};

char programLog[kProgramLogSize];

const IncludeLibraryEntry* findLibrary(const char* name) {
    const IncludeLibraryEntry* entries = includeLibrary();
    for (int32_t i = 0; i < kIncludeLibraryCount; ++i)
        if (entries[i].text && compareText(name, entries[i].name) == 0) return &entries[i];
    return nullptr;
}

} // namespace

const IncludeLibraryEntry* includeLibrary() {
    for (IncludeLibraryEntry& entry : library)
        if (!entry.text) entry.text = findEmbeddedShader(entry.name);
    return library;
}

int32_t setIncludeLibraryText(const char* name, const char* text) {
    for (IncludeLibraryEntry& entry : library)
        if (compareText(name, entry.name) == 0) {
            entry.text = text ? text : findEmbeddedShader(entry.name);
            return 1;
        }
    return 0;
}

char* replaceAll(const char* text, char** state, const char* pattern, const char* replacement) {
    if (!text || !state || !pattern || !replacement) return nullptr;
    const int32_t patternLength = textLength(pattern);
    const int32_t replacementLength = textLength(replacement);

    // Occurrences are counted and copied over the input only, so pasted text is never searched.
    int64_t resultLength = textLength(text);
    if (patternLength > 0)
        for (const char* at = findText(text, pattern); at; at = findText(at + patternLength, pattern))
            resultLength += replacementLength - patternLength;

    char* result = static_cast<char*>(memAlloc(static_cast<size_t>(resultLength) + 1));
    if (!result) return nullptr;
    char* out = result;
    const char* rest = text;
    if (patternLength > 0)
        for (const char* at = findText(rest, pattern); at; at = findText(rest, pattern)) {
            copyBytes(out, rest, static_cast<size_t>(at - rest));
            out += at - rest;
            copyBytes(out, replacement, static_cast<size_t>(replacementLength));
            out += replacementLength;
            rest = at + patternLength;
        }
    copyText(out, rest);

    memFree(*state);
    *state = result;
    return result;
}

const char* expandIncludes(const char* text) {
    if (!text) return nullptr;
    const char* current = text;
    // Where the marker search starts: the beginning after every replacement, past an include line
    // that names no library (searching from the start again would find it forever).
    int32_t searchFrom = 0;
    for (int32_t expansions = 0; expansions < kIncludeExpansionLimit;) {
        const char* marker = findText(current + searchFrom, kIncludeMarker);
        if (!marker) return current;

        char line[kIncludeLineLimit + 1] = {};
        int32_t length = 0;
        while (length < kIncludeLineLimit && marker[length] && marker[length] != '\n') ++length;
        copyBytes(line, marker, static_cast<size_t>(length));

        char tokens[kIncludeLineLimit + 1];
        copyBytes(tokens, line, sizeof tokens);
        char* directive = splitOnQuotes(tokens);
        char* name = directive ? splitOnQuotes(nullptr) : nullptr;
        if (!name) return current;

        const IncludeLibraryEntry* entry = findLibrary(name);
        if (!entry) {
            searchFrom = static_cast<int32_t>(marker - current) + length;
            continue;
        }
        char* state = nullptr;
        char* replaced = replaceAll(current, &state, line, entry->text);
        // Without memory the text is compiled as it stands.
        if (!replaced) return current;
        if (current != text) memFree(const_cast<char*>(current));
        current = replaced;
        searchFrom = 0;
        ++expansions;
    }
    return current;
}

int32_t buildSceneProgram(const char* sceneText) {
    if (!sceneText) return -1;
    const char* expanded = expandIncludes(sceneText);
    const GLuint program = GLX(glCreateShaderProgramv)(GL_FRAGMENT_SHADER, 1, &expanded);
    if (expanded != sceneText) memFree(const_cast<char*>(expanded));

    GLint linked = 0;
    GLX(glGetProgramiv)(program, GL_LINK_STATUS, &linked);
    clearBytes(programLog, sizeof programLog);
    if (linked) return static_cast<int32_t>(program);
    GLX(glGetProgramInfoLog)(program, kProgramLogSize, nullptr, programLog);
    return -1;
}

const char* sceneProgramLog() {
    return programLog;
}
