# The web build's own tests (included by cmake/web.cmake).

# kelvo-render.js under Node against the native kelvo-render of the host
# tools step: the same bytes for every depth and shading mode over a spread
# of frames and sizes.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND AND KELVO_HOST_RENDER AND CMAKE_CROSSCOMPILING_EMULATOR)
  add_test(NAME web.render
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/web_render.py
                   --node ${CMAKE_CROSSCOMPILING_EMULATOR} --js $<TARGET_FILE:kelvo-render>
                   --native ${KELVO_HOST_RENDER} --assets ${KELVO_DATA_DIR}
                   --out ${PROJECT_BINARY_DIR}/web-render-frames)
  set_tests_properties(web.render PROPERTIES TIMEOUT 600 LABELS e2e)
endif()

