/* Valgrind 3.19 cannot execute rdtscp. Debian's libavcodec loads libjxl,
 * whose libhwy measures its timer's resolution with rdtscp in a constructor,
 * so ffmpeg_bench dies under callgrind before main. compare.sh preloads this
 * stand-in for that one function (the host never uses libhwy's timers) in
 * its callgrind runs of FFmpeg only. */
#include <stdint.h>

/* hwy::platform::TimerResolution() */
uint64_t _ZN3hwy8platform15TimerResolutionEv(void);
uint64_t _ZN3hwy8platform15TimerResolutionEv(void) { return 1; }
