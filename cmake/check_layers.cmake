# Checks the includes of one source folder (see layers.cmake):
#   cmake -DFOLDER=DIR -DUSES=own,used,... -DWINDOWS=ON|OFF -DSTAMP=FILE -P check_layers.cmake
# A project header is named by its folder under src/ ("data/grid.h"); it must
# lie in the folder itself or one that it uses. A header named without a folder
# (the resource identifiers) and the system's Windows headers belong to the
# Windows folders alone.
# A script has no project to set the policies: lists keep their elements as given.
cmake_policy(SET CMP0007 NEW)
string(REPLACE "," ";" uses "${USES}")
file(GLOB files ${FOLDER}/*.h ${FOLDER}/*.cpp)
set(wrong "")
foreach(file ${files})
  file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include")
  foreach(line ${lines})
    if(NOT line MATCHES "#[ \t]*include[ \t]*([<\"])([^>\"]+)[>\"]")
      continue()
    endif()
    set(kind "${CMAKE_MATCH_1}")
    set(header "${CMAKE_MATCH_2}")
    string(TOLOWER "${header}" lower)
    if(kind STREQUAL "<")
      if(NOT WINDOWS AND lower MATCHES "^(windows|wincodec|shellapi|objbase|commctrl|winuser|wingdi)\\.h$")
        list(APPEND wrong "${file}: <${header}> in a portable folder")
      endif()
    elseif(header MATCHES "^(.+)/[^/]+$")
      list(FIND uses "${CMAKE_MATCH_1}" at)
      if(at LESS 0)
        list(APPEND wrong "${file}: \"${header}\" (this folder uses only ${USES})")
      endif()
    elseif(NOT WINDOWS)
      list(APPEND wrong "${file}: \"${header}\" names no folder")
    endif()
  endforeach()
endforeach()
if(wrong)
  list(JOIN wrong "\n  " text)
  message(FATAL_ERROR "Includes across the layers:\n  ${text}")
endif()
file(WRITE ${STAMP} "")
