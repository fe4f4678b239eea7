# PNG output shared by the tools.
find_package(PNG REQUIRED)
add_library(kelvo_png STATIC ${CMAKE_CURRENT_SOURCE_DIR}/png_write.cpp)
kelvo_target(kelvo_png)
target_link_libraries(kelvo_png PUBLIC PNG::PNG kelvo_files)

# Pictures read for users' own textures: PNG and BMP.
add_library(kelvo_picture STATIC ${CMAKE_CURRENT_SOURCE_DIR}/picture.cpp)
kelvo_target(kelvo_picture)
target_link_libraries(kelvo_picture PUBLIC PNG::PNG kelvo_files)

# The generator of the palette, colour tables, textures and icon.
add_executable(kelvo_gen_assets ${CMAKE_CURRENT_SOURCE_DIR}/gen_assets_main.cpp
                                ${CMAKE_CURRENT_SOURCE_DIR}/gen_assets.cpp
                                ${CMAKE_CURRENT_SOURCE_DIR}/gen_assets_pictures.cpp
                                ${CMAKE_CURRENT_SOURCE_DIR}/gen_assets_previews.cpp)
kelvo_target(kelvo_gen_assets)
target_link_libraries(kelvo_gen_assets PRIVATE kelvo_png kelvo_picture kelvo_files kelvo_arguments)
set_target_properties(kelvo_gen_assets PROPERTIES OUTPUT_NAME kelvo-gen-assets)

set(KELVO_DATA_FILES CUBE.PAL PALTBL1.DAT PALTBL2.DAT T1.BMP T2.BMP T3.BMP T4.BMP T5.BMP T6.BMP
                     AppIcon.ico)
list(TRANSFORM KELVO_DATA_FILES PREPEND ${KELVO_DATA_DIR}/)

# Depending on the generator target alone re-runs it exactly when it was rebuilt.
add_custom_command(
  OUTPUT ${KELVO_DATA_FILES}
  COMMAND kelvo_gen_assets ${KELVO_DATA_DIR}
  DEPENDS kelvo_gen_assets
  COMMENT "Generating the palette, colour tables, textures and icon"
  VERBATIM)
add_custom_target(kelvo_data ALL DEPENDS ${KELVO_DATA_FILES})

# Pictures of the data to look at: build target kelvo_data_previews, then open
# <build>/previews/*.png.
add_custom_target(kelvo_data_previews
  COMMAND kelvo_gen_assets ${PROJECT_BINARY_DIR}/previews/data --png ${PROJECT_BINARY_DIR}/previews
  DEPENDS kelvo_gen_assets
  COMMENT "Writing previews of the generated data to ${PROJECT_BINARY_DIR}/previews"
  VERBATIM)
