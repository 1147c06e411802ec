// The C++ runtime's allocation operators, for Velmora.ovl alone: the C
// library's malloc and free behind them. The module's code allocates with
// new (std::nothrow) and never throws, so with these, and the rest of the
// runtime linked in statically and hidden (CMakeLists.txt), it needs no
// libstdc++ on the device: that library would bring 1.4 MB and, at load, a
// pool of some 20 KB for exceptions the module never raises. Its export list
// keeps them local, so a host's own operators are neither seen nor replaced.
#include <cstddef>
#include <cstdlib>
#include <new>

void *operator new(std::size_t size, const std::nothrow_t &) noexcept { return std::malloc(size ? size : 1); }

void operator delete(void *block) noexcept { std::free(block); }

void operator delete(void *block, std::size_t) noexcept { std::free(block); }
