# Turns each shader text file into a C++ source holding it as constant data, plus one index
# (generated/shaders/embedded_shaders.cpp) that lists every text by its file name.

set(QUORLAX_EMBED_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/embed_text.cmake)

function(quorlax_embed_shaders out_var)
    set(generated_dir ${CMAKE_BINARY_DIR}/generated/shaders)
    file(MAKE_DIRECTORY ${generated_dir})
    set(sources)
    set(declarations "")
    set(entries "")
    foreach(file ${ARGN})
        get_filename_component(name ${file} NAME)
        string(MAKE_C_IDENTIFIER ${name} symbol)
        set(out ${generated_dir}/${symbol}.cpp)
        add_custom_command(OUTPUT ${out}
            COMMAND ${CMAKE_COMMAND} -DINPUT=${file} -DOUTPUT=${out} -DSYMBOL=${symbol}
                    -P ${QUORLAX_EMBED_SCRIPT}
            DEPENDS ${file} ${QUORLAX_EMBED_SCRIPT}
            COMMENT "Embedding ${name}")
        list(APPEND sources ${out})
        string(APPEND declarations "extern const char kShaderText_${symbol}[];\n")
        string(APPEND entries "    {\"${name}\", kShaderText_${symbol}},\n")
    endforeach()
    list(LENGTH ARGN count)
    set(index ${generated_dir}/embedded_shaders.cpp)
    set(content "// Generated from src/shaders: do not edit.\n#include \"shaders/embedded_shaders.h\"\n\n${declarations}\nconst EmbeddedShader kEmbeddedShaders[] = {\n${entries}    {nullptr, nullptr},\n};\nconst int kEmbeddedShaderCount = ${count};\n")
    file(CONFIGURE OUTPUT ${index} CONTENT "${content}" @ONLY)
    list(APPEND sources ${index})
    set(${out_var} ${sources} PARENT_SCOPE)
endfunction()
