// The POSIX calls the tests use, over the C run-time of Windows; included ahead of every test
// source of the Windows build.
#pragma once

#if defined(_WIN32) && defined(__cplusplus)
#include <direct.h>
#include <process.h>
#include <stdlib.h>

inline int setenv(const char* name, const char* value, int overwrite) {
    if (!overwrite && getenv(name)) return 0;
    return _putenv_s(name, value) == 0 ? 0 : -1;
}
inline int unsetenv(const char* name) {
    return _putenv_s(name, "") == 0 ? 0 : -1;
}
// The permission bits have no meaning there.
inline int mkdir(const char* path, unsigned) {
    return _mkdir(path);
}
#endif
