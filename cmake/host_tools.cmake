# A cross build (cmake/windows.cmake, cmake/web.cmake) cannot run what it
# makes: the data files and the font's glyphs come from a native build of our
# own tools beside it, in host-tools/, and so does, for the tests, the native
# kelvo-render whose frames the build's own must match. KELVO_HOST_EXTRA names
# more of that build's targets to make (set before the include).
include(ExternalProject)

set(KELVO_HOST_DIR ${PROJECT_BINARY_DIR}/host-tools)
set(KELVO_HOST_GEN_ASSETS ${KELVO_HOST_DIR}/bin/kelvo-gen-assets)
set(KELVO_HOST_GEN_RC ${KELVO_HOST_DIR}/bin/kelvo-gen-rc)
set(KELVO_HOST_GEN_GLYPHS ${KELVO_HOST_DIR}/bin/kelvo-gen-glyphs)
set(KELVO_HOST_TARGETS kelvo_gen_assets kelvo_gen_glyphs ${KELVO_HOST_EXTRA})
set(KELVO_HOST_RENDER)
if(KELVO_BUILD_TESTS)
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

# The program's data files, and its icon, in the build's data folder.
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
