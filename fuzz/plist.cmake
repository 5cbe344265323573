# One source, built once per form under test.
foreach(form Xml Binary)
  string(TOLOWER ${form} lower)
  add_executable(plist_${lower}_fuzzer plist_fuzzer.cpp)
  target_link_libraries(plist_${lower}_fuzzer PRIVATE orvane_foundation)
  target_compile_definitions(plist_${lower}_fuzzer PRIVATE ORVANE_PLIST_FORM=${form})
  target_link_options(plist_${lower}_fuzzer PRIVATE -fsanitize=fuzzer)
endforeach()
