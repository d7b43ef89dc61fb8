# AddressSanitizer and UndefinedBehaviorSanitizer over every target (scripts/sanitize builds
# build-asan/ with it). Undefined behaviour stops the program like a memory error does, so a
# finding fails the test that met it instead of scrolling past in the log.
option(QUORLAX_SANITIZE "Build everything with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(QUORLAX_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()
