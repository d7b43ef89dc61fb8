# The song compiler and the show's music.
#
# tools/songc is built here rather than by the tools loop: it is a host tool that runs during
# the build and must not link the core, whose builtinSongBytes/builtinPatchWords it generates
# from src/music/*.toml. quorlax_songc is the compiler as a library (tools and tests link it
# through quorlax_toolkit); songc (build/bin/songc) is the command.
find_package(PkgConfig REQUIRED)
pkg_check_modules(SMF REQUIRED IMPORTED_TARGET smf)

file(GLOB QUORLAX_SONGC_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tools/songc/*.cpp)
list(FILTER QUORLAX_SONGC_SOURCES EXCLUDE REGEX "/main\\.cpp$")
add_library(quorlax_songc STATIC ${QUORLAX_SONGC_SOURCES})
target_include_directories(quorlax_songc PUBLIC ${PROJECT_SOURCE_DIR}/tools ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(quorlax_songc PUBLIC PkgConfig::SMF)

add_executable(songc ${PROJECT_SOURCE_DIR}/tools/songc/main.cpp)
target_link_libraries(songc PRIVATE quorlax_songc)

set(QUORLAX_MUSIC_DIR ${PROJECT_SOURCE_DIR}/src/music)
set(QUORLAX_MUSIC_CPP ${CMAKE_BINARY_DIR}/generated/music/builtin_music.cpp)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/generated/music)
add_custom_command(OUTPUT ${QUORLAX_MUSIC_CPP}
    COMMAND songc --patch ${QUORLAX_MUSIC_DIR}/patch.toml --song ${QUORLAX_MUSIC_DIR}/song.toml
            --cpp ${QUORLAX_MUSIC_CPP}
    DEPENDS songc ${QUORLAX_MUSIC_DIR}/patch.toml ${QUORLAX_MUSIC_DIR}/song.toml
    COMMENT "Compiling the music from src/music")
target_sources(quorlax_core PRIVATE ${QUORLAX_MUSIC_CPP})
target_link_libraries(quorlax_toolkit PUBLIC quorlax_songc)
