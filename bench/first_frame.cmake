# Whole-process launch timing, for any build of the program: see first_frame_exit.cpp.
add_library(first_frame_exit MODULE first_frame_exit.cpp)
target_link_libraries(first_frame_exit PRIVATE Qt6::Widgets)

# Writes the long scripts the launch is timed with.
add_executable(write_launch_script write_launch_script.cpp)
target_link_libraries(write_launch_script PRIVATE orvane_app)
