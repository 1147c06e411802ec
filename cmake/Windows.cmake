# What a Windows build adds: the Win32 platform backend, and a runtime linked
# in statically, so Velmora.ovl and the programs built beside it need no DLL
# but the system's (KERNEL32.dll, msvcrt.dll).
set(VELMORA_PLATFORM_BACKEND platform/win32.cpp)
if(MINGW)
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()

# The module's entry point and its export list; the .def file keeps the
# exports to the 16 functions of velmora.h.
function(velmora_windows_module target)
  target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/platform/dll_entry.cpp
                                   ${PROJECT_SOURCE_DIR}/core/velmora.def)
endfunction()
