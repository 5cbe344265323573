orvane_add_benchmark(rtf LIBS orvane_text)
add_executable(read_rtf_file read_rtf_file.cpp)
target_link_libraries(read_rtf_file PRIVATE orvane_text)
