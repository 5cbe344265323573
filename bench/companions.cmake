orvane_add_benchmark(companions LIBS orvane_document orvane_ovtext)
add_dependencies(companions orvane-thumbnail orvane-mdimport orvane-preview)
target_compile_definitions(companions PRIVATE
  ORVANE_THUMBNAIL="$<TARGET_FILE:orvane-thumbnail>"
  ORVANE_MDIMPORT="$<TARGET_FILE:orvane-mdimport>"
  ORVANE_PREVIEW="$<TARGET_FILE:orvane-preview>")
