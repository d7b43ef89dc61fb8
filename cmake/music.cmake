# The song compiler and the show's music.
#
# tools/songc is built here rather than by the tools loop: it is a host tool that runs during
# the build and must not link the core, whose builtinSongBytes/builtinPatchWords it generates
# from src/music/*.toml. quorlax_songc is the compiler as a library (tools and tests link it
# through quorlax_toolkit); songc (build/bin/songc) is the command.
include(cmake/compile_music.cmake)
find_package(PkgConfig REQUIRED)

file(GLOB QUORLAX_SONGC_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tools/songc/*.cpp)
list(FILTER QUORLAX_SONGC_SOURCES EXCLUDE REGEX "/main\\.cpp$")
add_library(quorlax_songc STATIC ${QUORLAX_SONGC_SOURCES})
target_include_directories(quorlax_songc PUBLIC ${PROJECT_SOURCE_DIR}/tools ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(quorlax_songc PUBLIC quorlax_files)

add_executable(songc ${PROJECT_SOURCE_DIR}/tools/songc/main.cpp)
target_link_libraries(songc PRIVATE quorlax_songc)

quorlax_compile_music(songc)
target_link_libraries(quorlax_toolkit PUBLIC quorlax_songc)
