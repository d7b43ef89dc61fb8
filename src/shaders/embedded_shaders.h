// The shader texts of src/shaders, embedded into the executable at build time.
#pragma once

struct EmbeddedShader {
    const char* name; // file name, e.g. "common.inl"
    const char* text;
};

// Every embedded text in file-name order, ended by a {nullptr, nullptr} row.
extern const EmbeddedShader kEmbeddedShaders[];
extern const int kEmbeddedShaderCount;

// The text embedded under this file name, or null.
const char* findEmbeddedShader(const char* name);
