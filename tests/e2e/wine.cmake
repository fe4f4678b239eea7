# The Windows program's own tests in the cross build (included by
# cmake/windows.cmake).

# Only Windows' own DLLs are imported: the exe runs on a bare Windows.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND AND CMAKE_OBJDUMP)
  add_test(NAME win.imports
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/check_imports.py
                   --objdump ${CMAKE_OBJDUMP} $<TARGET_FILE:kelvo-cube>)
endif()

# kelvo-cube.exe under Wine in a virtual desktop on Xvfb, driven with xdotool
# (Debian: wine, wine32:i386 for the 32-bit exe, xvfb, xdotool, python3-pil,
# x11-utils). Skipped, with a message, where those are missing or the machine
# cannot run the program's kind of Wine.
add_executable(kelvo-wine-modes ${CMAKE_CURRENT_LIST_DIR}/wine_modes.cpp)
kelvo_target(kelvo-wine-modes)
target_link_libraries(kelvo-wine-modes PRIVATE ddraw user32)
set_target_properties(kelvo-wine-modes PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
if(Python3_Interpreter_FOUND)
  add_test(NAME e2e.wine
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/wine_e2e.py
                   --program $<TARGET_FILE:kelvo-cube> --modes $<TARGET_FILE:kelvo-wine-modes>
                   --prefix ${PROJECT_BINARY_DIR}/wine-prefix
                   --out ${PROJECT_BINARY_DIR}/wine-screenshots)
  set_tests_properties(e2e.wine PROPERTIES TIMEOUT 600 SKIP_RETURN_CODE 77 RUN_SERIAL TRUE
                                           LABELS e2e)
endif()

# A 16-bit mode on Wine's 5-6-5 display against the native kelvo-render's
# frame of the same turn: the colours the user sees there.
if(Python3_Interpreter_FOUND AND KELVO_HOST_RENDER)
  add_test(NAME e2e.wine-16bit
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/wine_16bit.py
                   --program $<TARGET_FILE:kelvo-cube> --modes $<TARGET_FILE:kelvo-wine-modes>
                   --render ${KELVO_HOST_RENDER} --assets ${KELVO_DATA_DIR}
                   --prefix ${PROJECT_BINARY_DIR}/wine-prefix
                   --out ${PROJECT_BINARY_DIR}/wine-16bit)
  set_tests_properties(e2e.wine-16bit PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77
                                                 RUN_SERIAL TRUE LABELS e2e)
endif()

# kelvo-render.exe under Wine against the native kelvo-render of the host
# tools step: the same bytes for every depth and shading mode over a spread
# of frames and sizes. A console program, so no display is needed.
if(Python3_Interpreter_FOUND AND KELVO_HOST_RENDER)
  add_test(NAME e2e.wine-render
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/wine_render.py
                   --exe $<TARGET_FILE:kelvo-render> --native ${KELVO_HOST_RENDER}
                   --assets ${KELVO_DATA_DIR} --prefix ${PROJECT_BINARY_DIR}/wine-prefix-console
                   --out ${PROJECT_BINARY_DIR}/wine-render-frames)
  set_tests_properties(e2e.wine-render PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77 LABELS e2e)
endif()
