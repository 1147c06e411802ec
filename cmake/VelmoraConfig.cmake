# find_package(Velmora CONFIG): the imported target Velmora::Velmora, the
# module Velmora.ovl with the folder of velmora.h. The module carries its
# own references to libogg and Tremor, so a host needs nothing more.
include("${CMAKE_CURRENT_LIST_DIR}/VelmoraTargets.cmake")
