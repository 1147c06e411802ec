// The most heap held at once while a decoder runs, through the sanitizer
// allocator's malloc and free hooks: every block Velmora, libogg and Tremor
// take between start() and stop() is counted, whichever library takes it.
// A block freed in between that was taken before start() counts as freed, so
// the figure can only be lower than the truth, never higher.
//
// Without a sanitizer runtime (a replay build with no sanitizer) there are no
// hooks; available() says so and the figure stays 0.
#ifndef VELMORA_FUZZ_HEAP_WATCH_H
#define VELMORA_FUZZ_HEAP_WATCH_H

#include <cstddef>

namespace heap_watch {

bool available();
// Counts from here on; going over budget bytes held at once is a broken
// promise, reported at the allocation that goes over.
void start(long long budget);
// Stops counting; returns the peak of bytes held since start().
long long stop();

}  // namespace heap_watch

#endif  // VELMORA_FUZZ_HEAP_WATCH_H
