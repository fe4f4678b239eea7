# kelvo-cube.exe on Windows' own USER32, GDI32, WINMM, DirectDraw and
# DirectInput, cross-built with mingw-w64 (presets win32 and win64). The frame,
# scene and rasteriser are the sources the Linux build uses; the emulated
# window system is built only for the test suites, SDL2 never. The data files,
# the resource script and the font's glyphs come from a native build of our
# own tools beside this one, since this build cannot run what it makes.
enable_language(RC)
include(ExternalProject)

add_subdirectory(app)
add_subdirectory(scene)
add_subdirectory(raster)

# ---- Our tools, built for this machine ----
set(KELVO_HOST_DIR ${PROJECT_BINARY_DIR}/host-tools)
set(KELVO_HOST_GEN_ASSETS ${KELVO_HOST_DIR}/bin/kelvo-gen-assets)
set(KELVO_HOST_GEN_RC ${KELVO_HOST_DIR}/bin/kelvo-gen-rc)
set(KELVO_HOST_GEN_GLYPHS ${KELVO_HOST_DIR}/bin/kelvo-gen-glyphs)
set(KELVO_HOST_TARGETS kelvo_gen_assets kelvo_gen_rc kelvo_gen_glyphs)
if(KELVO_BUILD_TESTS)
  # The native renderer whose frames kelvo-render.exe must match.
  set(KELVO_HOST_RENDER ${KELVO_HOST_DIR}/kelvo-render)
  list(APPEND KELVO_HOST_TARGETS kelvo-render)
endif()
ExternalProject_Add(kelvo_host_tools
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${KELVO_HOST_DIR}
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DKELVO_BUILD_TESTS=OFF -DKELVO_BUILD_SDL=OFF
             -DKELVO_WERROR=${KELVO_WERROR}
             -DCMAKE_RUNTIME_OUTPUT_DIRECTORY=${KELVO_HOST_DIR}/bin
  BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target ${KELVO_HOST_TARGETS}
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${KELVO_HOST_GEN_ASSETS} ${KELVO_HOST_GEN_RC} ${KELVO_HOST_GEN_GLYPHS}
                   ${KELVO_HOST_RENDER})

# The worker threads, the frame's copy, the one font (the same glyphs as the
# Linux build draws) and, for the test suites, the emulated window system.
add_subdirectory(platform)

set(KELVO_PROGRAM_DATA CUBE.PAL PALTBL1.DAT PALTBL2.DAT T1.BMP T2.BMP T3.BMP T4.BMP T5.BMP T6.BMP)
list(TRANSFORM KELVO_PROGRAM_DATA PREPEND ${KELVO_DATA_DIR}/)
set(KELVO_ICON ${KELVO_DATA_DIR}/AppIcon.ico)
add_custom_command(
  OUTPUT ${KELVO_PROGRAM_DATA} ${KELVO_ICON}
  COMMAND ${KELVO_HOST_GEN_ASSETS} ${KELVO_DATA_DIR}
  DEPENDS ${KELVO_HOST_GEN_ASSETS} kelvo_host_tools
  COMMENT "Generating the palette, colour tables, textures and icon"
  VERBATIM)
add_custom_target(kelvo_data ALL DEPENDS ${KELVO_PROGRAM_DATA} ${KELVO_ICON})

# ---- The program ----
add_library(kelvo_platform_win32 STATIC ${PROJECT_SOURCE_DIR}/platform/win32/ddraw_layer.cpp
                                        ${PROJECT_SOURCE_DIR}/platform/win32/gdi_layer.cpp)
kelvo_target(kelvo_platform_win32 USES platform platform/win32)
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
