#include "renderer/gl_entries.h"

#include "platform/platform.h"

const char kGlEntryNames[] =
#define QUORLAX_GL_NAME(name, type) #name "\0"
    QUORLAX_GL_ENTRY_POINTS(QUORLAX_GL_NAME)
#undef QUORLAX_GL_NAME
    ;

namespace {
GlEntryTable entryTable;
}

GlEntryTable* glEntryTable() {
    return &entryTable;
}

int32_t loadGlEntryPoints(GlEntryTable* table) {
    const char* name = kGlEntryNames;
    for (int32_t slot = 0; slot < GlSlotCount; ++slot) {
        table->slots[slot] = platformServices()->getGlProc(name);
        if (!table->slots[slot]) return 0;
        while (*name) ++name;
        ++name;
    }
    return 1;
}
