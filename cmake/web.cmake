# The web build (emcmake): the web backend with its fixed-function layer, the overlay's glyphs rendered at build
# time by a program built for the build machine, and the module the page loads (glide.js, glide.wasm, glide.data).
include(ExternalProject)

set(GLIDE_GL_LIBRARIES "")

# The glyphs are rendered from the font the Linux build draws the overlay with (fontconfig's choice for the
# face the program asks for), at the program's size, by the same code (platform/sdl/glyphs.cpp).
ExternalProject_Add(glide_atlas_tool
  SOURCE_DIR ${CMAKE_SOURCE_DIR}/platform/web/atlas
  BINARY_DIR ${CMAKE_BINARY_DIR}/atlas
  CMAKE_ARGS -DGLIDE_SOURCE_DIR=${CMAKE_SOURCE_DIR} -DCMAKE_BUILD_TYPE=Release
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  BUILD_BYPRODUCTS ${CMAKE_BINARY_DIR}/atlas/atlas)
set(GLIDE_ATLAS ${CMAKE_BINARY_DIR}/generated/font_atlas.h)
add_custom_command(OUTPUT ${GLIDE_ATLAS}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/generated
  COMMAND ${CMAKE_BINARY_DIR}/atlas/atlas ${GLIDE_ATLAS} "Courier New" 1 16 32 96
  DEPENDS glide_atlas_tool ${CMAKE_BINARY_DIR}/atlas/atlas
  COMMENT "Rendering the overlay's glyphs")

add_library(glide_platform STATIC platform/message.cpp platform/queue.cpp platform/window_class.cpp platform/font.cpp
  platform/web/window.cpp platform/web/message.cpp platform/web/font.cpp platform/web/gl.cpp platform/posix/file.cpp
  platform/posix/arguments.cpp ${GLIDE_ATLAS})
# The program's <GL/gl.h> and <GL/glu.h> are the fixed-function layer's, ahead of emscripten's own.
target_include_directories(glide_platform BEFORE PUBLIC ${CMAKE_SOURCE_DIR}/platform/web/include)
target_include_directories(glide_platform PRIVATE ${CMAKE_BINARY_DIR}/generated)

# glide.js and glide.wasm: a module the page creates (createGlide) and runs with callMain once its files are in
# place; main is suspended at every buffer swap (Asyncify). glide.data holds the bundled scene, mounted at
# /scene. Memory grows as the scene needs, to 2 GB.
function(glide_web_program)
  add_executable(glide app/entry.cpp platform/web/main.cpp)
  set_target_properties(glide PROPERTIES SUFFIX .js)
  set(scene "")
  set(sceneFiles "")
  foreach(folder dbIlm Location Horizon Objects Glader)
    list(APPEND scene "SHELL:--preload-file ${CMAKE_SOURCE_DIR}/${folder}@/scene/${folder}")
    file(GLOB_RECURSE files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*)
    list(APPEND sceneFiles ${files})
  endforeach()
  # The data file is packed when the program links: a changed scene file links it again.
  set_target_properties(glide PROPERTIES LINK_DEPENDS "${sceneFiles}")
  target_link_options(glide PRIVATE -sMODULARIZE=1 -sEXPORT_NAME=createGlide -sINVOKE_RUN=0 -sEXIT_RUNTIME=1
    -sASYNCIFY=1 -sASYNCIFY_STACK_SIZE=65536 -sALLOW_MEMORY_GROWTH=1 -sMAXIMUM_MEMORY=2GB -sENVIRONMENT=web
    -sMIN_WEBGL_VERSION=2 -sMAX_WEBGL_VERSION=2 "SHELL:-sEXPORTED_RUNTIME_METHODS=FS,callMain"
    ${scene} "SHELL:--exclude-file */log.txt")
  # The page and whatever it carries, copied beside the module.
  file(GLOB page CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/platform/web/page/*)
  set(copies "")
  foreach(file ${page})
    get_filename_component(name ${file} NAME)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/${name} DEPENDS ${file}
      COMMAND ${CMAKE_COMMAND} -E copy ${file} ${CMAKE_BINARY_DIR}/${name})
    list(APPEND copies ${CMAKE_BINARY_DIR}/${name})
  endforeach()
  add_custom_target(glide_page ALL DEPENDS ${copies})
  add_dependencies(glide glide_page)
endfunction()
