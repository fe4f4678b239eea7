# kelvo-cube.exe on Windows' own USER32, GDI32, WINMM, DirectDraw and
# DirectInput, cross-built with mingw-w64 (presets win32 and win64). The frame,
# scene and rasteriser are the sources the Linux build uses; the emulated
# window system is built only for the test suites, SDL2 never. The data files,
# the resource script and the font's glyphs come from a native build of our
# own tools beside this one, since this build cannot run what it makes.
enable_language(RC)

add_subdirectory(app)
add_subdirectory(scene)
add_subdirectory(raster)

# ---- Our tools, built for this machine, and the data files they make ----
set(KELVO_HOST_EXTRA kelvo_gen_rc)
include(${PROJECT_SOURCE_DIR}/cmake/host_tools.cmake)

# The worker threads, the frame's copy, the one font (the same glyphs as the
# Linux build draws) and, for the test suites, the emulated window system.
add_subdirectory(platform)

# ---- The program ----
add_library(kelvo_platform_win32 STATIC ${PROJECT_SOURCE_DIR}/platform/win32/ddraw_layer.cpp
                                        ${PROJECT_SOURCE_DIR}/platform/win32/gdi_layer.cpp)
kelvo_target(kelvo_platform_win32 LAYER platform/win32)
target_link_libraries(kelvo_platform_win32 PUBLIC kelvo_frame_copy ddraw dinput dxguid gdi32
                      user32 winmm)

# The entry point and its resources (programs/).
add_subdirectory(programs)

# ---- kelvo-render.exe and kelvo-bench.exe: the rasteriser's frames and
# timings on Windows ----
add_subdirectory(${PROJECT_SOURCE_DIR}/tools ${PROJECT_BINARY_DIR}/tools)

# ---- The zip, by CPack (the package target, or cpack in this folder): the
# program, its data files beside it and a short readme ----
install(TARGETS kelvo-cube RUNTIME DESTINATION .)
install(FILES ${KELVO_PROGRAM_DATA} DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/programs/windows-readme.txt DESTINATION . RENAME README.txt)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(KELVO_WINDOWS_ARCH win64)
else()
  set(KELVO_WINDOWS_ARCH win32)
endif()
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME kelvo-cube)
set(CPACK_PACKAGE_FILE_NAME kelvo-cube-${PROJECT_VERSION}-${KELVO_WINDOWS_ARCH})
include(CPack)

# ---- Tests: the program as built, and under Wine ----
if(KELVO_BUILD_TESTS)
  enable_testing()
  include(${PROJECT_SOURCE_DIR}/tests/e2e/wine.cmake)

  # The unit suites run under Wine on the emulated window system: the frame
  # and the scene are built a second time for it, as kelvo_frame_emulated and
  # kelvo_scene_emulated, which tests/ links instead.
  add_subdirectory(res)
  target_link_libraries(kelvo_res PUBLIC kelvo_emulated)
  foreach(library kelvo_frame kelvo_scene)
    get_target_property(sources ${library} SOURCES)
    get_target_property(folder ${library} SOURCE_DIR)
    list(TRANSFORM sources PREPEND ${folder}/)
    add_library(${library}_emulated STATIC ${sources})
    foreach(property INCLUDE_DIRECTORIES COMPILE_OPTIONS COMPILE_DEFINITIONS)
      set_property(TARGET ${library}_emulated PROPERTY ${property}
                   $<TARGET_PROPERTY:${library},${property}>)
    endforeach()
    get_target_property(links ${library} LINK_LIBRARIES)
    if(NOT links)
      set(links)
    endif()
    list(TRANSFORM links REPLACE "^(kelvo_frame|kelvo_scene)$" "\\1_emulated")
    target_link_libraries(${library}_emulated PUBLIC ${links} kelvo_emulated)
  endforeach()
  add_subdirectory(tests)
endif()
