#include "studio/shader_lines.h"

#include <cctype>
#include <cstring>

namespace {

constexpr char kIncludeMarker[] = "#include";
constexpr int32_t kIncludeDepthLimit = 16;

// The library an include line starting at `at` names: the second piece of the line split on
// double quotes, as the renderer reads it.
const TracedLibrary* includedLibrary(const char* at, const std::vector<TracedLibrary>& libraries) {
    const char* end = std::strchr(at, '\n');
    const std::string line = end ? std::string(at, end) : std::string(at);
    const size_t open = line.find('"');
    if (open == std::string::npos) return nullptr;
    const size_t close = line.find('"', open + 1);
    const std::string name =
        line.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
    for (const TracedLibrary& library : libraries)
        if (library.text && library.name == name) return &library;
    return nullptr;
}

struct Tracer {
    const std::vector<TracedLibrary>& libraries;
    std::vector<SourceLine> lines;
    bool atLineStart = true;

    void trace(const std::string& file, const char* text, int32_t depth) {
        int32_t line = 1;
        for (const char* at = text; *at;) {
            if (depth < kIncludeDepthLimit &&
                std::strncmp(at, kIncludeMarker, sizeof kIncludeMarker - 1) == 0)
                if (const TracedLibrary* library = includedLibrary(at, libraries)) {
                    trace(library->file, library->text, depth + 1);
                    // The library replaces the include line; its newline stays.
                    while (*at && *at != '\n') ++at;
                    continue;
                }
            if (atLineStart) lines.push_back({file, line});
            atLineStart = *at == '\n';
            if (*at == '\n') ++line;
            ++at;
        }
    }
};

bool readNumber(const std::string& text, size_t* at, long* value) {
    size_t end = *at;
    while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
    if (end == *at || end - *at > 9) return false;
    *value = std::stol(text.substr(*at, end - *at));
    *at = end;
    return true;
}

bool expect(const std::string& text, size_t* at, const char* literal) {
    const size_t length = std::strlen(literal);
    if (text.compare(*at, length, literal) != 0) return false;
    *at += length;
    return true;
}

// The driver's line number and where the message starts, for the two location forms.
bool driverLocation(const std::string& text, long* line, size_t* message) {
    size_t at = 0;
    long source = 0, column = 0;
    if (!readNumber(text, &at, &source)) return false;
    size_t mesa = at;
    if (expect(text, &mesa, ":") && readNumber(text, &mesa, line) && expect(text, &mesa, "(") &&
        readNumber(text, &mesa, &column) && expect(text, &mesa, "):")) {
        *message = mesa;
        return true;
    }
    size_t nvidia = at;
    if (expect(text, &nvidia, "(") && readNumber(text, &nvidia, line) && expect(text, &nvidia, ")") &&
        (expect(text, &nvidia, " :") || expect(text, &nvidia, ":"))) {
        *message = nvidia;
        return true;
    }
    return false;
}

} // namespace

std::vector<SourceLine> traceExpandedLines(const std::string& file, const char* text,
                                           const std::vector<TracedLibrary>& libraries) {
    Tracer tracer{libraries, {}};
    if (text) tracer.trace(file, text, 0);
    return tracer.lines;
}

std::string mapProgramLog(const char* log, const std::vector<SourceLine>& lines,
                          const std::string& fallbackFile) {
    std::string mapped;
    const std::string all = log ? log : "";
    for (size_t start = 0; start < all.size();) {
        size_t end = all.find('\n', start);
        if (end == std::string::npos) end = all.size();
        std::string text = all.substr(start, end - start);
        start = end + 1;
        while (!text.empty() && (text.back() == '\r' || text.back() == ' ')) text.pop_back();
        if (text.empty()) continue;
        long line = 0;
        size_t message = 0;
        if (driverLocation(text, &line, &message)) {
            while (message < text.size() && text[message] == ' ') ++message;
            const bool known = line >= 1 && size_t(line) <= lines.size();
            const SourceLine origin =
                known ? lines[size_t(line) - 1] : SourceLine{fallbackFile, int32_t(line)};
            mapped += origin.file + ":" + std::to_string(origin.line) + ": " + text.substr(message) + "\n";
        } else {
            mapped += fallbackFile + ": " + text + "\n";
        }
    }
    return mapped;
}
