# The studio: the show as an authoring tool (Linux only). It runs the show's shell, framework,
# renderer and synthesizer, and takes the song compiler, the track reader and the capture plan
# from the tools' library; src/studio/ holds what only it needs.
# The link to sync editors (src/studio/sync_*) is its own library, cmake/sync.cmake.
file(GLOB QUORLAX_STUDIO_SOURCES CONFIGURE_DEPENDS src/studio/*.cpp)
list(FILTER QUORLAX_STUDIO_SOURCES EXCLUDE REGEX "/(main|sync_[a-z_]+)\\.cpp$")
add_library(quorlax_studio STATIC ${QUORLAX_STUDIO_SOURCES})
target_link_libraries(quorlax_studio PUBLIC quorlax_app quorlax_toolkit quorlax_sync)

add_executable(quorlax-studio src/studio/main.cpp)
target_link_libraries(quorlax-studio PRIVATE quorlax_studio)
# The tree it reloads from by default: the one it was built from.
target_compile_definitions(quorlax-studio PRIVATE QUORLAX_SOURCE_TREE="${PROJECT_SOURCE_DIR}")

if(TARGET test_studio)
    target_link_libraries(test_studio PRIVATE quorlax_studio)
    add_dependencies(test_studio quorlax-studio)
endif()

if(TARGET bench_studio_frame)
    target_link_libraries(bench_studio_frame PRIVATE quorlax_studio)
    target_compile_definitions(bench_studio_frame PRIVATE QUORLAX_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
endif()

# The program driven on a private X server with SDL's dummy audio, one check per test.
if(QUORLAX_TESTS)
    foreach(check transport shaders music tracks)
        add_test(NAME studio_under_xvfb.${check}
            COMMAND bash ${PROJECT_SOURCE_DIR}/tests/studio/studio_under_xvfb.sh $<TARGET_FILE:quorlax-studio> ${check})
        set_tests_properties(studio_under_xvfb.${check} PROPERTIES TIMEOUT 300)
    endforeach()
endif()
