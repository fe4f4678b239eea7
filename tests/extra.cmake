# The tools suite runs the data generator itself and reads PNG files back.
if(TARGET kelvo_tools_tests AND TARGET kelvo_gen_assets)
  target_compile_definitions(kelvo_tools_tests PRIVATE
                             KELVO_GEN_ASSETS="$<TARGET_FILE:kelvo_gen_assets>")
  target_link_libraries(kelvo_tools_tests PRIVATE kelvo_png kelvo_files)
  add_dependencies(kelvo_tools_tests kelvo_gen_assets)
endif()

# ... and the headless renderer, as a user would.
if(TARGET kelvo_tools_tests AND TARGET kelvo-render)
  target_compile_definitions(kelvo_tools_tests PRIVATE
                             KELVO_RENDER="$<TARGET_FILE:kelvo-render>")
  add_dependencies(kelvo_tools_tests kelvo-render)
endif()
