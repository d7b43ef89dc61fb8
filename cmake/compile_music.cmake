# quorlax_compile_music(SONGC): compiles src/music/*.toml with the song compiler SONGC (a target
# or the path of a songc built for this machine) into generated/music/builtin_music.cpp, the
# show's builtinSongBytes/builtinPatchWords, adds it to quorlax_core and names it in
# QUORLAX_MUSIC_CPP.
function(quorlax_compile_music songc)
    set(music_dir ${PROJECT_SOURCE_DIR}/src/music)
    set(music_cpp ${CMAKE_BINARY_DIR}/generated/music/builtin_music.cpp)
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/generated/music)
    add_custom_command(OUTPUT ${music_cpp}
        COMMAND ${songc} --patch ${music_dir}/patch.toml --song ${music_dir}/song.toml
                --cpp ${music_cpp}
        DEPENDS ${songc} ${music_dir}/patch.toml ${music_dir}/song.toml
        COMMENT "Compiling the music from src/music")
    target_sources(quorlax_core PRIVATE ${music_cpp})
    # The host tools that need the song's clock (trackc) compile it too.
    set(QUORLAX_MUSIC_CPP ${music_cpp} PARENT_SCOPE)
endfunction()
