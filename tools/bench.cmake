# kelvo-bench: frame timings of the rasteriser against the buffer's own limit.
add_executable(kelvo-bench ${CMAKE_CURRENT_SOURCE_DIR}/bench.cpp)
kelvo_target(kelvo-bench)
target_link_libraries(kelvo-bench PRIVATE kelvo_scene_data kelvo_arguments)
target_compile_definitions(kelvo-bench PRIVATE KELVO_DATA_DIR="${KELVO_DATA_DIR}")
set_target_properties(kelvo-bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
if(TARGET kelvo_data)
  add_dependencies(kelvo-bench kelvo_data)
endif()
