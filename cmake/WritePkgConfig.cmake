# Run by `cmake --install` (cmake/Install.cmake sets the velmora_pc_
# variables): writes velmora.pc for the install prefix and installs it.

# A folder as the .pc file names it: under ${prefix} when it lies there.
function(velmora_pc_dir folder out)
  if(IS_ABSOLUTE "${folder}")
    set(${out} "${folder}" PARENT_SCOPE)
  else()
    set(${out} "\${prefix}/${folder}" PARENT_SCOPE)
  endif()
endfunction()

set(velmora_pc_prefix "${CMAKE_INSTALL_PREFIX}")
velmora_pc_dir("${velmora_pc_libdir}" velmora_pc_libdir_value)
velmora_pc_dir("${velmora_pc_includedir}" velmora_pc_includedir_value)

# An rpath only where the loader would not look by itself.
set(velmora_pc_rpath_flag "")
if(velmora_pc_rpath)
  if(IS_ABSOLUTE "${velmora_pc_libdir}")
    set(libdir_path "${velmora_pc_libdir}")
  else()
    set(libdir_path "${CMAKE_INSTALL_PREFIX}/${velmora_pc_libdir}")
  endif()
  list(FIND velmora_pc_loader_dirs "${libdir_path}" loader_dir_index)  # the script runs without policies: no IN_LIST
  if(loader_dir_index EQUAL -1)
    set(velmora_pc_rpath_flag " -Wl,-rpath,\${libdir}")
  endif()
endif()

configure_file("${velmora_pc_template}" "${velmora_pc_output}" @ONLY)
if(IS_ABSOLUTE "${velmora_pc_libdir}")
  set(pc_destination "${velmora_pc_libdir}/pkgconfig")
else()
  set(pc_destination "${CMAKE_INSTALL_PREFIX}/${velmora_pc_libdir}/pkgconfig")
endif()
file(INSTALL DESTINATION "${pc_destination}" TYPE FILE FILES "${velmora_pc_output}")
