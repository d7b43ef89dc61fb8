# quorlax_compile_tracks(TRACKC): compiles src/tracks/show.rocket with the track compiler TRACKC
# (a target or the path of a trackc built for this machine) into generated/tracks/builtin_tracks.cpp,
# the show's builtinTrack/kBuiltinTrackDocument, adds it to quorlax_core and names it in
# QUORLAX_TRACKS_CPP.
function(quorlax_compile_tracks trackc)
    set(track_source ${PROJECT_SOURCE_DIR}/src/tracks/show.rocket)
    set(tracks_cpp ${CMAKE_BINARY_DIR}/generated/tracks/builtin_tracks.cpp)
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/generated/tracks)
    add_custom_command(OUTPUT ${tracks_cpp}
        COMMAND ${trackc} ${track_source} --cpp ${tracks_cpp}
        DEPENDS ${trackc} ${track_source}
        COMMENT "Compiling the tracks from src/tracks")
    target_sources(quorlax_core PRIVATE ${tracks_cpp})
    set(QUORLAX_TRACKS_CPP ${tracks_cpp} PARENT_SCOPE)
endfunction()
