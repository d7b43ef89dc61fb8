# cmake -DINPUT=file -DOUTPUT=file.cpp -DSYMBOL=name -P embed_text.cmake
file(READ ${INPUT} text)
set(delimiter "QRLX")
string(FIND "${text}" ")${delimiter}\"" clash)
if(NOT clash EQUAL -1)
    message(FATAL_ERROR "${INPUT} contains the raw-string delimiter")
endif()
file(WRITE ${OUTPUT} "// Generated from ${INPUT}: do not edit.\nextern const char kShaderText_${SYMBOL}[];\nconst char kShaderText_${SYMBOL}[] = R\"${delimiter}(${text})${delimiter}\";\n")
