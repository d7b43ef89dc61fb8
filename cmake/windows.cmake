# The Windows build: the Win32 layer, the capture tool's portable commands and the test suites
# that need no GL, all linked statically so that only system DLLs are imported.
# entry/ holds the program's WinMain and resources, linked into quorlax.exe alone.
file(GLOB_RECURSE QUORLAX_PLATFORM_SOURCES CONFIGURE_DEPENDS src/platform/win32/*.cpp)
list(FILTER QUORLAX_PLATFORM_SOURCES EXCLUDE REGEX "/win32/entry/")
list(REMOVE_ITEM QUORLAX_PLATFORM_SOURCES ${QUORLAX_BASE_SOURCES})
add_library(quorlax_platform STATIC ${QUORLAX_PLATFORM_SOURCES})
target_link_libraries(quorlax_platform PUBLIC quorlax_base opengl32 gdi32 user32 winmm)
# One way: the core calls the platform services; both allocate through the base layer.
target_link_libraries(quorlax_core PUBLIC quorlax_base quorlax_platform)

# The music is compiled by songc built for this machine (the native build's build/bin/songc).
set(QUORLAX_HOST_SONGC "" CACHE FILEPATH "songc built for the build machine")
if(NOT QUORLAX_HOST_SONGC)
    message(FATAL_ERROR "set QUORLAX_HOST_SONGC to a songc built for this machine")
endif()
include(cmake/compile_music.cmake)
quorlax_compile_music(${QUORLAX_HOST_SONGC})
# The tracks likewise, by the native trackc (beside that songc unless named).
get_filename_component(host_tools ${QUORLAX_HOST_SONGC} DIRECTORY)
set(QUORLAX_HOST_TRACKC ${host_tools}/trackc CACHE FILEPATH "trackc built for the build machine")
include(cmake/compile_tracks.cmake)
quorlax_compile_tracks(${QUORLAX_HOST_TRACKC})

# Tools: the sound-file half of the toolkit (no libpng here) and quorlax-capture with its
# commands that need no GL (wav, glyphs).
include(cmake/tool_files.cmake)
add_library(quorlax_toolkit STATIC tools/shared/wav_file.cpp tools/shared/capture_plan.cpp)
target_include_directories(quorlax_toolkit PUBLIC tools)
target_link_libraries(quorlax_toolkit PUBLIC quorlax_core quorlax_files)

# The song compiler as a library, for `wav --song/--patch`: toml++ is header-only and reached
# through a folder that holds only it (the rest of the build machine's /usr/include must stay out
# of the cross compiler's sight). MIDI import is left out: nothing there calls it (songc itself is
# never built for Windows).
set(QUORLAX_TOMLPP_INCLUDE /usr/include/toml++ CACHE PATH "toml++'s header folder")
set(toml_only ${CMAKE_BINARY_DIR}/toml_only)
file(MAKE_DIRECTORY ${toml_only})
file(CREATE_LINK ${QUORLAX_TOMLPP_INCLUDE} ${toml_only}/toml++ SYMBOLIC)
file(GLOB QUORLAX_SONGC_SOURCES CONFIGURE_DEPENDS tools/songc/*.cpp)
list(FILTER QUORLAX_SONGC_SOURCES EXCLUDE REGEX "/(main|midi_import)\\.cpp$")
add_library(quorlax_songc STATIC ${QUORLAX_SONGC_SOURCES})
target_include_directories(quorlax_songc PUBLIC tools src)
target_include_directories(quorlax_songc SYSTEM PRIVATE ${toml_only})
target_compile_definitions(quorlax_songc PRIVATE TOML_ENABLE_WINDOWS_COMPAT=0)
target_link_libraries(quorlax_songc PUBLIC quorlax_files)
target_link_libraries(quorlax_toolkit PUBLIC quorlax_songc)

file(GLOB QUORLAX_CAPTURE_SOURCES CONFIGURE_DEPENDS tools/capture/*.cpp)
list(FILTER QUORLAX_CAPTURE_SOURCES EXCLUDE REGEX
    "/(frame_command|video_command|sheet_command|headless_show|encoder|label_font)\\.cpp$")
add_executable(quorlax-capture ${QUORLAX_CAPTURE_SOURCES})
target_compile_definitions(quorlax-capture PRIVATE QUORLAX_CAPTURE_WITHOUT_GL)
target_link_libraries(quorlax-capture PRIVATE quorlax_toolkit)

# The suites that run without GL, built against googletest's sources (Debian's libgtest-dev
# carries them) and run under Wine by tests/windows/run.sh. POSIX names the tests use come from
# a header included ahead of every test source.
if(QUORLAX_TESTS)
    set(QUORLAX_GTEST_SOURCE /usr/src/googletest CACHE PATH "googletest's source tree")
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
    add_subdirectory(${QUORLAX_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

    add_library(quorlax_testsupport STATIC tests/support/synth_test.cpp
        tests/support/synth_builder.cpp tests/support/unit_harness.cpp)
    target_include_directories(quorlax_testsupport PUBLIC tests)
    target_compile_definitions(quorlax_testsupport PUBLIC _USE_MATH_DEFINES)
    target_compile_options(quorlax_testsupport PUBLIC
        -include ${PROJECT_SOURCE_DIR}/tests/windows/posix_names.h)
    target_link_libraries(quorlax_testsupport PUBLIC quorlax_toolkit gtest)

    function(quorlax_windows_suite name)
        add_executable(test_${name} ${ARGN})
        target_link_libraries(test_${name} PRIVATE quorlax_testsupport gtest_main)
        target_compile_definitions(test_${name} PRIVATE
            QUORLAX_SOURCE_DIR="${PROJECT_SOURCE_DIR}" QUORLAX_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
    endfunction()
    file(GLOB framework_tests CONFIGURE_DEPENDS tests/framework/*.cpp)
    list(REMOVE_ITEM framework_tests ${PROJECT_SOURCE_DIR}/tests/framework/scenes_test.cpp)
    quorlax_windows_suite(framework ${framework_tests})
    file(GLOB base_tests CONFIGURE_DEPENDS tests/base/*.cpp)
    quorlax_windows_suite(base ${base_tests})
    file(GLOB_RECURSE synth_tests CONFIGURE_DEPENDS tests/synth/*.cpp)
    quorlax_windows_suite(synth ${synth_tests})
    # Windows-only cases (.cc, so the portable suites' globs leave them out).
    file(GLOB win32_tests CONFIGURE_DEPENDS tests/windows/*.cc)
    quorlax_windows_suite(win32 ${win32_tests})
endif()

# The presentation: the portable shell over this layer, a GUI-subsystem program whose entry is
# WinMain, with the setup dialog's template and the manifest as resources.
include(cmake/app.cmake)
set_property(TARGET quorlax PROPERTY SOURCES src/platform/win32/entry/win_main.cpp src/platform/win32/entry/quorlax.rc)
set_property(TARGET quorlax PROPERTY WIN32_EXECUTABLE ON)
set_property(SOURCE src/platform/win32/entry/quorlax.rc APPEND PROPERTY OBJECT_DEPENDS
    ${PROJECT_SOURCE_DIR}/src/platform/win32/entry/quorlax.manifest)
