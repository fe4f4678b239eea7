# What `cmake --install` lays out on Linux, and the packages CPack makes of it
# (a .deb and a .tar.gz): the programs, their data, a menu entry with the
# program's own icon, a manual page for each program made from its --help,
# the README and the licence notes. The programs find the data from their own
# folder (scene/data_folder.cpp), so any prefix works, DESTDIR included.
set(KELVO_SHARE ${CMAKE_INSTALL_DATADIR}/kelvo-cube)
set(KELVO_DOC ${CMAKE_INSTALL_DATADIR}/doc/kelvo-cube)
# Sanitizer and fuzzing builds are for testing: no manual pages, no package
# check (their programs would run under the sanitizers at build time).
set(KELVO_INSTRUMENTED OFF)
if(KELVO_SANITIZE OR KELVO_TSAN OR KELVO_FUZZ)
  set(KELVO_INSTRUMENTED ON)
endif()

set(KELVO_PROGRAMS kelvo-render kelvo-bench kelvo_gen_assets)
if(TARGET kelvo-cube)
  list(PREPEND KELVO_PROGRAMS kelvo-cube)
  install(FILES ${PROJECT_SOURCE_DIR}/programs/kelvo-cube.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
endif()
install(TARGETS ${KELVO_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The nine data files, and the icon the desktop program's window shows.
set(KELVO_PROGRAM_DATA CUBE.PAL PALTBL1.DAT PALTBL2.DAT T1.BMP T2.BMP T3.BMP T4.BMP T5.BMP T6.BMP
                       AppIcon.ico)
list(TRANSFORM KELVO_PROGRAM_DATA PREPEND ${KELVO_DATA_DIR}/)
install(FILES ${KELVO_PROGRAM_DATA} DESTINATION ${KELVO_SHARE})

# The icon as the desktop shows it: AppIcon.ico's pixels enlarged by whole
# numbers, written by our own generator.
set(KELVO_ICON_DIR ${PROJECT_BINARY_DIR}/icons)
set(KELVO_ICON_SIDES 32 64 128 256)
set(KELVO_ICONS)
foreach(side IN LISTS KELVO_ICON_SIDES)
  list(APPEND KELVO_ICONS ${KELVO_ICON_DIR}/icon-${side}.png)
  install(FILES ${KELVO_ICON_DIR}/icon-${side}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${side}x${side}/apps
          RENAME kelvo-cube.png)
endforeach()
add_custom_command(
  OUTPUT ${KELVO_ICONS}
  COMMAND kelvo_gen_assets --icons ${KELVO_ICON_DIR}
  DEPENDS kelvo_gen_assets
  COMMENT "Writing the icon's pictures"
  VERBATIM)
add_custom_target(kelvo_icons ALL DEPENDS ${KELVO_ICONS})

# The README, the licence notes and the release notes, compressed as Debian
# keeps them.
find_program(KELVO_GZIP gzip REQUIRED)
set(KELVO_CHANGELOG ${PROJECT_BINARY_DIR}/doc/changelog)
add_custom_command(
  OUTPUT ${KELVO_CHANGELOG}.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/docs/changelog ${KELVO_CHANGELOG}
  COMMAND ${KELVO_GZIP} -9nf ${KELVO_CHANGELOG}
  DEPENDS ${PROJECT_SOURCE_DIR}/docs/changelog
  VERBATIM)
add_custom_target(kelvo_changelog ALL DEPENDS ${KELVO_CHANGELOG}.gz)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/docs/copyright
              ${KELVO_CHANGELOG}.gz
        DESTINATION ${KELVO_DOC})

# Manual pages from each program's --help, by Debian's help2man, compressed
# as Debian keeps them.
find_program(KELVO_HELP2MAN help2man)
if(KELVO_HELP2MAN AND NOT KELVO_INSTRUMENTED)
  set(KELVO_MAN_kelvo-cube "a textured cube spinning, drawn by its own software rasteriser")
  set(KELVO_MAN_kelvo-render "draw kelvo-cube's frames into PNG pictures or raw back buffers")
  set(KELVO_MAN_kelvo-bench "time kelvo-cube's rasteriser against the machine's own limit")
  set(KELVO_MAN_kelvo-gen-assets "write kelvo-cube's data files, or a face from your own picture")
  set(KELVO_MAN_PAGES)
  foreach(target IN LISTS KELVO_PROGRAMS)
    get_target_property(name ${target} OUTPUT_NAME)
    if(NOT name)
      set(name ${target})
    endif()
    set(page ${PROJECT_BINARY_DIR}/man/${name}.1)
    add_custom_command(
      OUTPUT ${page}.gz
      COMMAND ${KELVO_HELP2MAN} --no-info --version-string=${PROJECT_VERSION}
              --name=${KELVO_MAN_${name}} --output=${page} $<TARGET_FILE:${target}>
      COMMAND ${KELVO_GZIP} -9nf ${page}
      DEPENDS ${target}
      COMMENT "Writing the manual page of ${name}"
      VERBATIM)
    list(APPEND KELVO_MAN_PAGES ${page}.gz)
  endforeach()
  add_custom_target(kelvo_man ALL DEPENDS ${KELVO_MAN_PAGES})
  install(FILES ${KELVO_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
elseif(NOT KELVO_INSTRUMENTED)
  message(STATUS "No help2man: installs come without manual pages "
                 "(scripts/setup-deps.sh --package installs it)")
endif()

# ---- Packages: `cpack` in the build folder ----
set(CPACK_PACKAGE_NAME kelvo-cube)
set(CPACK_PACKAGE_VENDOR "the kelvo-cube maintainers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "textured cube drawn by its own software rasteriser")
set(CPACK_PACKAGE_DESCRIPTION
    "One textured cube spins on the desktop, drawn every frame by the\n"
    "program's own scanline rasteriser into a display mode of 8, 16, 24 or 32\n"
    "bits per pixel, in six shading modes. kelvo-render draws its frames into\n"
    "PNG pictures without a display, kelvo-bench times the rasteriser and\n"
    "kelvo-gen-assets makes the data files.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_GENERATOR DEB TGZ)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
# The .tar.gz unpacks into one folder with bin/ and share/ as an install has them.
set(CPACK_SYSTEM_NAME ${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR})
set(KELVO_PACKAGE_MAINTAINER "kelvo-cube maintainers <maintainers@kelvo-cube.example>"
    CACHE STRING "The Maintainer of the Debian package")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${KELVO_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
# The libraries' packages from what the programs link, never typed by hand.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)

# The packages checked as a user gets them (tests/e2e/package_check.py): made
# by cpack, passed by lintian, unpacked and run from a scratch folder.
if(KELVO_BUILD_TESTS AND TARGET kelvo-cube AND NOT KELVO_INSTRUMENTED)
  find_package(Python3 COMPONENTS Interpreter)
  if(Python3_Interpreter_FOUND)
    add_test(NAME package.deb
             COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tests/e2e/package_check.py
                     --build ${PROJECT_BINARY_DIR} --render $<TARGET_FILE:kelvo-render>
                     --assets ${KELVO_DATA_DIR} --out ${PROJECT_BINARY_DIR}/package-check)
    set_tests_properties(package.deb PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77 LABELS package)
  endif()
endif()
