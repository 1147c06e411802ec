# cmake -DNM=... -DOBJCOPY=... -DIN=lib.a -DOUT=lib.a -DPREFIX=p_ -P TremorRename.cmake
#
# Copies the static library IN to OUT with every global symbol it defines
# renamed PREFIX<name>; the symbols it uses from elsewhere (libogg, the C
# library) keep their names. A program can then link OUT beside the library
# it was built from, the two not clashing.
execute_process(COMMAND ${NM} -g --defined-only ${IN}
                OUTPUT_VARIABLE listing RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${IN}")
endif()
# Whole names: instrumented builds add global symbols such as
# __odr_asan.<name>, defined once per object.
string(REGEX MATCHALL "[0-9a-fA-F]+ [A-Z] [^ \n]+" definitions "${listing}")
set(names "")
foreach(definition ${definitions})
  string(REGEX REPLACE "^.* " "" name "${definition}")
  list(APPEND names "${name}")
endforeach()
list(REMOVE_DUPLICATES names)
set(renames "")
foreach(name ${names})
  string(APPEND renames "${name} ${PREFIX}${name}\n")
endforeach()
if(renames STREQUAL "")
  message(FATAL_ERROR "${IN} defines no global symbol")
endif()
file(WRITE ${OUT}.renames "${renames}")
execute_process(COMMAND ${OBJCOPY} --redefine-syms=${OUT}.renames ${IN} ${OUT} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${OBJCOPY} failed on ${IN}")
endif()
