# What `cmake --install` gives a host: Velmora.ovl in the library folder, the
# public header and nothing internal, a CMake package (find_package(Velmora
# CONFIG) imports Velmora::Velmora, the module with its include folder) and a
# pkg-config file, velmora.pc. The programs install themselves.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(velmora_package_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Velmora)

set_target_properties(velmora_module PROPERTIES EXPORT_NAME Velmora)
target_include_directories(velmora_module INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
install(TARGETS velmora_module EXPORT VelmoraTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/velmora.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

install(EXPORT VelmoraTargets NAMESPACE Velmora:: DESTINATION ${velmora_package_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/VelmoraConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_SOURCE_DIR}/cmake/VelmoraConfig.cmake ${PROJECT_BINARY_DIR}/VelmoraConfigVersion.cmake
        DESTINATION ${velmora_package_dir})

# velmora.pc is written at install time, for the prefix given then
# (cmake --install --prefix), by cmake/WritePkgConfig.cmake: relocatable,
# the module by its file name, and an rpath only outside the loader's own
# folders.
if(WIN32)
  set(velmora_pc_rpath OFF)
else()
  set(velmora_pc_rpath ON)
endif()
install(CODE "
  set(velmora_pc_template \"${PROJECT_SOURCE_DIR}/cmake/velmora.pc.in\")
  set(velmora_pc_output \"${PROJECT_BINARY_DIR}/velmora.pc\")
  set(velmora_pc_version \"${PROJECT_VERSION}\")
  set(velmora_pc_libdir \"${CMAKE_INSTALL_LIBDIR}\")
  set(velmora_pc_includedir \"${CMAKE_INSTALL_INCLUDEDIR}\")
  set(velmora_pc_link_file \"$<TARGET_LINKER_FILE_NAME:velmora_module>\")
  set(velmora_pc_rpath ${velmora_pc_rpath})
  set(velmora_pc_architecture \"${CMAKE_LIBRARY_ARCHITECTURE}\")
  include(\"${PROJECT_SOURCE_DIR}/cmake/WritePkgConfig.cmake\")")
