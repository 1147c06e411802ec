/*
 * The most heap a whole process holds at once while it decodes one file
 * through Velmora.ovl, as a C host on the device would (read input, the
 * host loop of 4096-byte calls), counted the way glibc's heap holds it:
 * every block's usable size and its header word. A C program, so that no
 * C++ runtime of its own is counted; the count runs from the first
 * allocation of the process (the loader's, a module's load included) to the
 * end, and the figures are printed without stdio, which would allocate.
 *
 *   velmora_heap_peak FILE      prints: peak_bytes=N allocations=M pcm_bytes=P
 *
 * bench/footprint.sh runs it per target (under qemu-arm for ARM).
 */
#define _GNU_SOURCE
#include <malloc.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "velmora.h"

void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *block, size_t size);
void *__libc_memalign(size_t alignment, size_t size);
void __libc_free(void *block);

static long long held, peak, allocations;

/* What a block takes from glibc's heap: its usable bytes and a header word. */
static long long cost(void *block) { return block ? (long long)(malloc_usable_size(block) + sizeof(size_t)) : 0; }

static void *taken(void *block)
{
    if (block) {
        held += cost(block);
        ++allocations;
        if (held > peak) peak = held;
    }
    return block;
}

void *malloc(size_t size) { return taken(__libc_malloc(size)); }
void *calloc(size_t count, size_t size) { return taken(__libc_calloc(count, size)); }
void *memalign(size_t alignment, size_t size) { return taken(__libc_memalign(alignment, size)); }
void *aligned_alloc(size_t alignment, size_t size) { return taken(__libc_memalign(alignment, size)); }

int posix_memalign(void **out, size_t alignment, size_t size)
{
    void *block = taken(__libc_memalign(alignment, size));
    if (!block) return 12; /* ENOMEM */
    *out = block;
    return 0;
}

void free(void *block)
{
    held -= cost(block);
    __libc_free(block);
}

void *realloc(void *block, size_t size)
{
    long long before = cost(block);
    void *moved = __libc_realloc(block, size);
    if (moved || size == 0) {
        held -= before;
        if (moved) --allocations;
        taken(moved);
    }
    return moved;
}

int main(int argc, char **argv)
{
    static uint8_t pcm[4096 + QDX_OGG_MAX_OVERRUN];
    unsigned long long decoded = 0;
    char line[128];
    qdx_ogg_decoder *dec;
    int length;

    if (argc != 2) return 2;
    dec = qdx_ogg_create();
    if (!dec || qdx_ogg_input_file_open(dec, argv[1], 0, 0) != 0) return 1;
    while (!qdx_ogg_eof(dec)) decoded += (uint32_t)qdx_ogg_process_frame(dec, pcm, 4096);
    qdx_ogg_free(dec);
    length = snprintf(line, sizeof line, "peak_bytes=%lld allocations=%lld pcm_bytes=%llu\n", peak, allocations, decoded);
    return write(STDOUT_FILENO, line, (size_t)length) == length ? 0 : 1;
}
