add_library(kelvo_image STATIC ${CMAKE_CURRENT_SOURCE_DIR}/frame_image.cpp)
kelvo_target(kelvo_image)

add_executable(kelvo-render ${CMAKE_CURRENT_SOURCE_DIR}/render.cpp)
kelvo_target(kelvo-render)
# The scene and the rasteriser alone, and the font for the frame-rate text.
target_link_libraries(kelvo-render PRIVATE kelvo_scene_data kelvo_font kelvo_image kelvo_png
                      kelvo_arguments kelvo_files)
target_compile_definitions(kelvo-render PRIVATE KELVO_DATA_DIR="${KELVO_DATA_DIR}")
set_target_properties(kelvo-render PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
if(TARGET kelvo_data)
  add_dependencies(kelvo-render kelvo_data)
endif()
