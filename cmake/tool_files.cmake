# quorlax_files: how every tool reads its inputs (bounded, regular files only) and writes its
# outputs (whole or not at all). The song compiler links it without the core; the toolkit on top.
set(QUORLAX_TOOL_FILE_SOURCES
    ${PROJECT_SOURCE_DIR}/tools/shared/input_file.cpp ${PROJECT_SOURCE_DIR}/tools/shared/output_file.cpp)
add_library(quorlax_files STATIC ${QUORLAX_TOOL_FILE_SOURCES})
target_include_directories(quorlax_files PUBLIC ${PROJECT_SOURCE_DIR}/tools)
