# libFuzzer targets: every fuzz/*_fuzz.cpp is one executable fuzz_<name> over the core, the song
# and track compilers and the studio's sync link, and fuzz/seed_corpus.cpp writes their seed
# corpora. Clang only; scripts/fuzz configures build-fuzz/ with clang-14 so the ordinary build is
# untouched. Every object carries AddressSanitizer and UndefinedBehaviorSanitizer, and undefined
# behaviour aborts, so libFuzzer reports it as a crash.
option(QUORLAX_FUZZ "Build the libFuzzer targets (clang only)" OFF)
if(QUORLAX_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
    file(GLOB QUORLAX_FUZZ_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/fuzz/*_fuzz.cpp)
    add_custom_target(fuzz_targets)
    foreach(source ${QUORLAX_FUZZ_SOURCES})
        get_filename_component(name ${source} NAME_WE)
        string(REGEX REPLACE "_fuzz$" "" name ${name})
        add_executable(fuzz_${name} ${source})
        target_link_libraries(fuzz_${name} PRIVATE quorlax_core quorlax_songc quorlax_trackc quorlax_sync)
        target_include_directories(fuzz_${name} PRIVATE ${PROJECT_SOURCE_DIR})
        target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
        add_dependencies(fuzz_targets fuzz_${name})
    endforeach()
    add_executable(fuzz_seed_corpus ${PROJECT_SOURCE_DIR}/fuzz/seed_corpus.cpp)
    target_link_libraries(fuzz_seed_corpus PRIVATE quorlax_core quorlax_songc)
    add_dependencies(fuzz_targets fuzz_seed_corpus)
endif()
