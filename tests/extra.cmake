# The tools suite runs the data generator itself, reads PNG files back and
# tests the tools' shared file, picture and argument code directly.
if(TARGET kelvo_tools_tests AND TARGET kelvo_gen_assets)
  target_compile_definitions(kelvo_tools_tests PRIVATE
                             KELVO_GEN_ASSETS="$<TARGET_FILE:kelvo_gen_assets>")
  target_link_libraries(kelvo_tools_tests PRIVATE kelvo_png kelvo_picture kelvo_files
                        kelvo_arguments)
  add_dependencies(kelvo_tools_tests kelvo_gen_assets)
endif()

# ... and the headless renderer and the benchmark, as a user would.
if(TARGET kelvo_tools_tests AND TARGET kelvo-render)
  target_compile_definitions(kelvo_tools_tests PRIVATE
                             KELVO_RENDER="$<TARGET_FILE:kelvo-render>")
  add_dependencies(kelvo_tools_tests kelvo-render)
endif()
if(TARGET kelvo_tools_tests AND TARGET kelvo-bench)
  target_compile_definitions(kelvo_tools_tests PRIVATE
                             KELVO_BENCH="$<TARGET_FILE:kelvo-bench>")
  add_dependencies(kelvo_tools_tests kelvo-bench)
endif()
