# kelvo_font: the one font, drawn from a table of DejaVu Sans' glyphs that
# kelvo-gen-glyphs (tools/gen_glyphs.cpp) renders with FreeType at build time,
# so no program needs FreeType or the font file when it runs. Both are needed
# on the build machine only (Debian: libfreetype-dev, fonts-dejavu-core).
find_file(KELVO_FONT_FILE DejaVuSans.ttf
          PATHS /usr/share/fonts/truetype/dejavu /usr/share/fonts/TTF /usr/share/fonts/dejavu
          NO_CMAKE_FIND_ROOT_PATH REQUIRED)

# GENERATOR runs kelvo-gen-glyphs: its target in a native build, the host
# tools' program in a cross build; the other arguments are what it waits for.
function(kelvo_font_library generator)
  set(table ${PROJECT_BINARY_DIR}/generated/font_glyphs.cpp)
  add_custom_command(
    OUTPUT ${table}
    COMMAND ${generator} ${KELVO_FONT_FILE} ${table}
    DEPENDS ${ARGN} ${KELVO_FONT_FILE}
    COMMENT "Rendering the font's glyphs"
    VERBATIM)
  add_library(kelvo_font STATIC ${PROJECT_SOURCE_DIR}/platform/font.cpp ${table})
  kelvo_target(kelvo_font LAYER platform)
endfunction()
