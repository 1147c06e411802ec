# Writes each C snippet of README.md named in NAMES, the fence that follows
# its marker line
#     <!-- compiled as NAME -->
# to OUT_DIR/NAME.inc, so the tests compile and run exactly what the README
# shows.
# Usage: cmake -DREADME=README.md -DOUT_DIR=dir -DNAMES=a,b -P extract_snippets.cmake
file(READ "${README}" readme)
file(MAKE_DIRECTORY "${OUT_DIR}")
string(REPLACE "," ";" names "${NAMES}")
foreach(name IN LISTS names)
  string(REGEX MATCH "<!-- compiled as ${name} -->\n```c\n([^`]*)```" snippet "${readme}")
  if(NOT snippet)
    message(FATAL_ERROR "README.md has no C snippet marked <!-- compiled as ${name} -->")
  endif()
  file(WRITE "${OUT_DIR}/${name}.inc" "${CMAKE_MATCH_1}")
endforeach()

