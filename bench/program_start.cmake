orvane_add_benchmark(program_start LIBS orvane_app)
target_compile_definitions(program_start PRIVATE ORVANE_BINARY="$<TARGET_FILE:orvane>"
                                          ORVANE_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
add_dependencies(program_start orvane)
