# The presentation program: the portable shell of src/app/ over the display services, which are
# the SDL2 window and the GTK 3 setup dialog on Linux.
file(GLOB QUORLAX_APP_SOURCES CONFIGURE_DEPENDS src/app/*.cpp)
list(REMOVE_ITEM QUORLAX_APP_SOURCES ${PROJECT_SOURCE_DIR}/src/app/main.cpp)
add_library(quorlax_app STATIC ${QUORLAX_APP_SOURCES})
target_link_libraries(quorlax_app PUBLIC quorlax_core)

if(NOT WIN32)
    pkg_check_modules(GTK3 REQUIRED IMPORTED_TARGET gtk+-3.0)
    file(GLOB QUORLAX_DISPLAY_SOURCES CONFIGURE_DEPENDS src/platform/linux_display/*.cpp)
    add_library(quorlax_display STATIC ${QUORLAX_DISPLAY_SOURCES})
    target_link_libraries(quorlax_display PUBLIC quorlax_platform PkgConfig::GTK3)
    target_link_libraries(quorlax_app PUBLIC quorlax_display)
endif()

add_executable(quorlax src/app/main.cpp)
target_link_libraries(quorlax PRIVATE quorlax_app)

# tests/app/ becomes test_app through the suite loop; it needs the shell, and its scripts run the
# program under a private X server.
if(TARGET test_app)
    target_link_libraries(test_app PRIVATE quorlax_app)
    add_dependencies(test_app quorlax)
endif()

if(TARGET bench_startup)
    target_link_libraries(bench_startup PRIVATE quorlax_app)
endif()

# The program driven on a private X server, one check per test; each is bounded by its timeout.
if(QUORLAX_TESTS AND NOT WIN32)
    foreach(check dialog windowed fullscreen failure signals nofonts)
        add_test(NAME show_under_xvfb.${check}
            COMMAND bash ${PROJECT_SOURCE_DIR}/tests/app/show_under_xvfb.sh $<TARGET_FILE:quorlax> ${check})
        set_tests_properties(show_under_xvfb.${check} PROPERTIES TIMEOUT 300)
    endforeach()
    # Its frames are 1280 x 720 on llvmpipe: seconds each on an idle machine, far more on a busy one.
    set_tests_properties(show_under_xvfb.windowed PROPERTIES TIMEOUT 600)
endif()
