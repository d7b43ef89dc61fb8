#include "shaders/embedded_shaders.h"

#include <cstring>

const char* findEmbeddedShader(const char* name) {
    for (const EmbeddedShader* s = kEmbeddedShaders; s->name; ++s)
        if (std::strcmp(s->name, name) == 0) return s->text;
    return nullptr;
}
