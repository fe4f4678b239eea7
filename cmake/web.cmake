# WebAssembly, built with Debian's emscripten (preset web): kelvo-render and
# kelvo-bench as programs for Node, and the program in the browser. The frame,
# scene, rasteriser and emulated window system are the Linux build's sources,
# on one thread, without SDL2, FreeType or libpng; the data files and the
# font's glyphs come from a native build of our own tools beside this one.

# Debian's emcc runs its JavaScript passes under Node, which looks for their
# modules (acorn) in Debian's folder only when told.
set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs)
# No C++ exceptions, emscripten's default, where a throw aborts with a
# message: the program's Asyncify cannot unwind through WebAssembly's own
# exceptions, and emscripten's JavaScript ones route every call that may
# throw through JavaScript, which made the page's code a fifth larger. The
# tools' out-of-memory then ends in emscripten's message, not their line.
# The span walk's and the presentation's SSE2 code, through emscripten's
# translation to WebAssembly SIMD: about a fifth faster than without, the
# same pixels (web.render); the clears and copies as WebAssembly's own
# memory.fill and memory.copy (bulk memory), not a loop.
# Link-time optimisation: the span walks' calls across files inlined, a few
# per cent faster frames.
add_compile_options(-msimd128 -msse2 -mbulk-memory -flto)
add_link_options(-mbulk-memory -flto)
# emscripten offers an SDL2 port, fetched from the network: never here.
set(KELVO_BUILD_SDL OFF)

include(${PROJECT_SOURCE_DIR}/cmake/host_tools.cmake)
add_subdirectory(platform)
add_subdirectory(app)
add_subdirectory(scene)
add_subdirectory(raster)
add_subdirectory(res)
add_subdirectory(tools)

# ---- The tools under Node: the real file system (NODERAWFS), the Node
# process's environment (node_environment.js), the wasm compiled before main
# so that Node never fetches it ----
set(KELVO_NODE_PRE_JS ${CMAKE_CURRENT_LIST_DIR}/node_environment.js)
set(KELVO_NODE_LINK_OPTIONS -sENVIRONMENT=node -sNODERAWFS=1 -sWASM_ASYNC_COMPILATION=0
                            -sALLOW_MEMORY_GROWTH=1 -sEXIT_RUNTIME=1 --pre-js ${KELVO_NODE_PRE_JS})
foreach(tool kelvo-render kelvo-bench)
  target_link_options(${tool} PRIVATE ${KELVO_NODE_LINK_OPTIONS})
  set_property(TARGET ${tool} APPEND PROPERTY LINK_DEPENDS ${KELVO_NODE_PRE_JS})
endforeach()

# ---- The program in the browser ----
add_subdirectory(programs)

# ---- Tests: the tools' frames under Node against the native ones, and the
# suites that need neither threads nor child processes, under Node too ----
if(KELVO_BUILD_TESTS)
  enable_testing()
  include(${PROJECT_SOURCE_DIR}/tests/e2e/web.cmake)
  add_subdirectory(tests)
endif()
