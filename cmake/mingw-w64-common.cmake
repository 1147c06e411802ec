# What both MinGW-w64 toolchain files share; not a toolchain file itself.
# The including file sets CMAKE_SYSTEM_PROCESSOR, VELMORA_MINGW_TRIPLE (the
# compilers' prefix, also the MinGW tree's folder) and VELMORA_MINGW_WINE
# (the Wine loader of the target's width, used when it is installed).
set(CMAKE_SYSTEM_NAME Windows)

# The compilers with the posix thread model: their C++ library has the
# threads and mutexes that GoogleTest needs (the win32 model's has none).
# The runtime is linked statically (cmake/Windows.cmake), so this adds no DLL.
set(CMAKE_C_COMPILER ${VELMORA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELMORA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VELMORA_MINGW_TRIPLE}-windres)

# Libraries and headers come from the MinGW tree only, never from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${VELMORA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

if(EXISTS "${VELMORA_MINGW_WINE}")
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VELMORA_MINGW_WINE})
endif()
