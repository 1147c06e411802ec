# Run by `cmake --install` (cmake/Install.cmake sets the velmora_pc_
# variables): writes velmora.pc for the install prefix and installs it.
#
# The file finds its folders from where it lies (${pcfiledir}), so an install
# staged under DESTDIR, copied into a device's root file system or moved
# elsewhere links from there, and pkg-config's sysroot applies to it as it
# does to any package. Libs names the module by its file name alone
# (-l:Velmora.ovl), so a host records that name, not a path of this machine.

# A folder as the .pc file names it: under ${prefix} when it lies there.
function(velmora_pc_dir folder out)
  if(NOT IS_ABSOLUTE "${folder}")
    set(${out} "\${prefix}/${folder}" PARENT_SCOPE)
    return()
  endif()
  file(RELATIVE_PATH inside "${CMAKE_INSTALL_PREFIX}" "${folder}")
  if(inside MATCHES "^\\.\\./" OR inside STREQUAL "..")
    set(${out} "${folder}" PARENT_SCOPE)
  else()
    set(${out} "\${prefix}/${inside}" PARENT_SCOPE)
  endif()
endfunction()

# Where the module lies on the machine that runs the host: the prefix's
# library folder, never the staging folder DESTDIR names.
if(IS_ABSOLUTE "${velmora_pc_libdir}")
  set(installed_libdir "${velmora_pc_libdir}")
else()
  set(installed_libdir "${CMAKE_INSTALL_PREFIX}/${velmora_pc_libdir}")
endif()
get_filename_component(installed_libdir "${installed_libdir}" ABSOLUTE)
set(pc_destination "${installed_libdir}/pkgconfig")

file(RELATIVE_PATH prefix_from_pc "${pc_destination}" "${CMAKE_INSTALL_PREFIX}")
string(REGEX REPLACE "/$" "" prefix_from_pc "${prefix_from_pc}")
set(velmora_pc_prefix "\${pcfiledir}/${prefix_from_pc}")
velmora_pc_dir("${velmora_pc_libdir}" velmora_pc_libdir_value)
velmora_pc_dir("${velmora_pc_includedir}" velmora_pc_includedir_value)

# An rpath only where the loader would not look by itself (the module is not
# named lib*.so, so ldconfig's cache never lists it): the C library's own
# folders need none. It is written out, not through ${libdir}, so that a
# sysroot given to pkg-config never enters a host.
set(loader_dirs /lib /usr/lib /lib64 /usr/lib64)
if(velmora_pc_architecture)
  list(APPEND loader_dirs /lib/${velmora_pc_architecture} /usr/lib/${velmora_pc_architecture})
endif()
set(velmora_pc_rpath_flag "")
if(velmora_pc_rpath)
  list(FIND loader_dirs "${installed_libdir}" loader_dir_index)  # the script runs without policies: no IN_LIST
  if(loader_dir_index EQUAL -1)
    set(velmora_pc_rpath_flag " -Wl,-rpath,${installed_libdir}")
  endif()
endif()

configure_file("${velmora_pc_template}" "${velmora_pc_output}" @ONLY)
file(INSTALL DESTINATION "${pc_destination}" TYPE FILE FILES "${velmora_pc_output}")
