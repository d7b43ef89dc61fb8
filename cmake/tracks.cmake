# The track compiler and the show's choreography.
#
# quorlax_trackc is the track-file reader and writer as a library (the capture tool and the tests
# link it); trackc (build/bin/trackc) is the command, carrying the built-in tracks for --dump. The
# build compiles src/tracks/show.rocket with trackc-bootstrap, the same command without built-in
# tracks, since trackc itself is built from what it generates. A Windows build runs the native
# trackc instead (QUORLAX_HOST_TRACKC).
include(cmake/compile_tracks.cmake)
pkg_check_modules(TINYXML2 REQUIRED IMPORTED_TARGET tinyxml2)

set(trackc_dir ${PROJECT_SOURCE_DIR}/tools/trackc)
add_library(quorlax_trackc STATIC ${trackc_dir}/track_reader.cpp ${trackc_dir}/track_writer.cpp)
target_include_directories(quorlax_trackc PUBLIC ${PROJECT_SOURCE_DIR}/tools ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(quorlax_trackc PUBLIC PkgConfig::TINYXML2 quorlax_files)

# The command checks a file's tempo against the song's, so it carries the song's clock.
set(trackc_command_sources ${trackc_dir}/main.cpp ${PROJECT_SOURCE_DIR}/src/synth/song_clock.cpp
    ${QUORLAX_MUSIC_CPP})
add_executable(trackc-bootstrap ${trackc_command_sources})
target_link_libraries(trackc-bootstrap PRIVATE quorlax_trackc)
set_target_properties(trackc-bootstrap PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/host)

quorlax_compile_tracks(trackc-bootstrap)

add_executable(trackc ${trackc_command_sources} ${QUORLAX_TRACKS_CPP})
target_compile_definitions(trackc PRIVATE QUORLAX_TRACKC_BUILTIN)
target_link_libraries(trackc PRIVATE quorlax_trackc)
target_link_libraries(quorlax_toolkit PUBLIC quorlax_trackc)
# Laying a file's tracks over the registered ones needs the core, which the compiler must not link.
target_sources(quorlax_toolkit PRIVATE ${trackc_dir}/track_override.cpp)
