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

# The program in headless Chromium through Selenium, used as a person would,
# from a local server of the site folder (Debian: chromium, chromium-driver,
# python3-selenium, python3-pil). Skipped, with a message, where those are
# missing.
if(Python3_Interpreter_FOUND AND TARGET kelvo-cube)
  add_test(NAME e2e.web-browser
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/web_browser.py
                   --site $<TARGET_FILE_DIR:kelvo-cube> --out ${PROJECT_BINARY_DIR}/web-screenshots)
  # Alone, so that the page's frame rate is a user's on two cores.
  set_tests_properties(e2e.web-browser PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77
                                                  RUN_SERIAL TRUE LABELS e2e)
endif()
