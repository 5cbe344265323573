orvane_add_benchmark(launch LIBS orvane_app)
target_compile_definitions(launch PRIVATE ORVANE_BINARY="$<TARGET_FILE:orvane>"
                                          ORVANE_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
add_dependencies(launch orvane)
