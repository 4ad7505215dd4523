# A Windows program with a UTF-16 entry point (wmain, wWinMain): the C runtime
# splits its command line. MinGW needs to be told; MSVC finds the entry point
# by itself.
function(quorlane_utf16_entry target)
  if(MINGW)
    target_link_options(${target} PRIVATE -municode)
  endif()
endfunction()
