# The layering of the source folders, enforced by the build. Each folder is one
# library; quorlane_layer() makes the build of that library check, whenever a
# file of its folder changes, that the folder includes only its own headers and
# those of the folders it names (the folders of the libraries it links), and
# that only the Windows folders include the system's Windows headers.
#
#   quorlane_layer(TARGET render USES data common)
#   quorlane_layer(TARGET gdi USES render data common WINDOWS)
function(quorlane_layer)
  cmake_parse_arguments(L "WINDOWS" "TARGET" "USES" ${ARGN})
  file(RELATIVE_PATH folder ${CMAKE_SOURCE_DIR}/src ${CMAKE_CURRENT_SOURCE_DIR})
  file(GLOB files CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${L_TARGET}.layers)
  string(REPLACE ";" "," uses "${folder};${L_USES}")
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DFOLDER=${CMAKE_CURRENT_SOURCE_DIR} -DUSES=${uses}
      -DWINDOWS=${L_WINDOWS} -DSTAMP=${stamp} -P ${CMAKE_SOURCE_DIR}/cmake/check_layers.cmake
    DEPENDS ${files} ${CMAKE_SOURCE_DIR}/cmake/check_layers.cmake
    COMMENT "Checking the includes of src/${folder}" VERBATIM)
  add_custom_target(${L_TARGET}_layers DEPENDS ${stamp})
  add_dependencies(${L_TARGET} ${L_TARGET}_layers)
endfunction()
