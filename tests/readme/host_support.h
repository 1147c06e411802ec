/* What the README's hosts hand their PCM to in the tests: a sink that keeps
 * every byte, and the comparison with the PCM velmora-decode wrote. */
#ifndef VELMORA_README_HOST_SUPPORT_H
#define VELMORA_README_HOST_SUPPORT_H

#include <stddef.h>
#include <stdint.h>

struct pcm_sink {
    unsigned char *bytes;
    size_t size;
    size_t room;
};

/* Appends size bytes; a negative size, or no memory, ends the program. */
void sink_add(struct pcm_sink *sink, const void *bytes, int32_t size);
void sink_release(struct pcm_sink *sink);

/* 1 when the sink holds the file's bytes, followed by nothing but
 * trailing_zeros_allowed zero bytes at most; else 0, saying why on stderr. */
int sink_matches_file(const struct pcm_sink *sink, const char *path, size_t trailing_zeros_allowed);

/* 1 when the sink's first bytes are the file's bytes, all of them. */
int sink_starts_with_file(const struct pcm_sink *sink, const char *path);

/* The size of the file at path; ends the program when it cannot be read. */
size_t file_size(const char *path);

#endif
