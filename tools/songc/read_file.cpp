// The song compiler's inputs, read as every tool reads them: whole, bounded, regular files only.
#include "songc/songc.h"

#include "shared/input_file.h"

bool readFile(const std::string& path, std::string* bytes, std::string* error) {
    const std::string problem = readInputFile(path.c_str(), bytes);
    if (problem.empty()) return true;
    *error = path + ": cannot be read: " + problem;
    return false;
}
