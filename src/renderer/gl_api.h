// The GL headers as the renderer sees them: OpenGL 1.1 from the system library, every later
// entry point through the GlEntryTable.
#pragma once

#if defined(_WIN32)
// The Windows GL header expects these from <windows.h>, which portable code does not include.
#ifndef APIENTRY
#define APIENTRY __stdcall
#endif
#ifndef WINGDIAPI
#define WINGDIAPI __declspec(dllimport)
#endif
#endif

#include <GL/gl.h>
#include <GL/glext.h>

#ifndef APIENTRYP
#define APIENTRYP APIENTRY*
#endif

// wglSwapIntervalEXT has no typedef in glext.h.
typedef int(APIENTRYP PFNWGLSWAPINTERVALEXTPROC)(int interval);
