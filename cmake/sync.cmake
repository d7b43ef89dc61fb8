# The studio's link to sync editors: the message coding and the link's state machine over the
# platform's sockets, saving with the track writer and the tools' all-or-nothing output files.
add_library(quorlax_sync STATIC ${PROJECT_SOURCE_DIR}/src/studio/sync_protocol.cpp
    ${PROJECT_SOURCE_DIR}/src/studio/sync_link.cpp)
target_link_libraries(quorlax_sync PUBLIC quorlax_core quorlax_trackc quorlax_files)

if(TARGET test_studio)
    target_link_libraries(test_studio PRIVATE quorlax_sync)
endif()

# The test suite's sync editor as a program, for scripts that drive a running studio.
if(TARGET quorlax_testsupport)
    add_executable(sync-test-editor ${PROJECT_SOURCE_DIR}/tests/studio/sync_editor_program.cc)
    target_link_libraries(sync-test-editor PRIVATE quorlax_testsupport)
endif()

# The studio linked to the test editor on a private X server (quorlax-studio: cmake/studio.cmake).
if(TARGET sync-test-editor)
    add_test(NAME sync_under_xvfb COMMAND bash ${PROJECT_SOURCE_DIR}/tests/studio/sync_under_xvfb.sh
        $<TARGET_FILE:quorlax-studio> $<TARGET_FILE:sync-test-editor> $<TARGET_FILE:trackc>)
    # Alone: its waits for the studio's frames are bounded, and llvmpipe's frames share the cores
    # with whatever else runs.
    set_tests_properties(sync_under_xvfb PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE)
endif()
