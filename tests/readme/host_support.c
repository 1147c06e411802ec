#include "host_support.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static unsigned char *read_whole(const char *path, size_t *size)
{
    FILE *file = fopen(path, "rb");
    unsigned char *bytes = NULL;
    size_t held = 0;
    size_t got;
    unsigned char block[65536];
    if (!file) {
        fprintf(stderr, "cannot open %s\n", path);
        exit(2);
    }
    while ((got = fread(block, 1, sizeof block, file)) > 0) {
        unsigned char *grown = realloc(bytes, held + got);
        if (!grown) exit(2);
        bytes = grown;
        memcpy(bytes + held, block, got);
        held += got;
    }
    fclose(file);
    *size = held;
    return bytes;
}

void sink_add(struct pcm_sink *sink, const void *bytes, int32_t size)
{
    if (size < 0) {
        fprintf(stderr, "a decoding call returned %ld\n", (long)size);
        exit(1);
    }
    if (sink->size + (size_t)size > sink->room) {
        size_t room = sink->room ? sink->room : 65536;
        while (room < sink->size + (size_t)size) room *= 2;
        unsigned char *grown = realloc(sink->bytes, room);
        if (!grown) exit(2);
        sink->bytes = grown;
        sink->room = room;
    }
    if (size > 0) memcpy(sink->bytes + sink->size, bytes, (size_t)size);
    sink->size += (size_t)size;
}

void sink_release(struct pcm_sink *sink)
{
    free(sink->bytes);
    sink->bytes = NULL;
    sink->size = sink->room = 0;
}

size_t file_size(const char *path)
{
    size_t size;
    free(read_whole(path, &size));
    return size;
}

static int compare_start(const struct pcm_sink *sink, const unsigned char *expected, size_t size)
{
    if (sink->size < size) {
        fprintf(stderr, "the host played %zu bytes, velmora-decode wrote %zu\n", sink->size, size);
        return 0;
    }
    if (size > 0 && memcmp(sink->bytes, expected, size) != 0) {
        size_t at = 0;
        while (sink->bytes[at] == expected[at]) ++at;
        fprintf(stderr, "the host's PCM differs from velmora-decode's at byte %zu\n", at);
        return 0;
    }
    return 1;
}

int sink_starts_with_file(const struct pcm_sink *sink, const char *path)
{
    size_t size;
    unsigned char *expected = read_whole(path, &size);
    const int same = compare_start(sink, expected, size);
    free(expected);
    return same;
}

int sink_matches_file(const struct pcm_sink *sink, const char *path, size_t trailing_zeros_allowed)
{
    size_t size;
    unsigned char *expected = read_whole(path, &size);
    int same = compare_start(sink, expected, size);
    free(expected);
    if (same && sink->size - size > trailing_zeros_allowed) {
        fprintf(stderr, "%zu bytes more than velmora-decode wrote\n", sink->size - size);
        same = 0;
    }
    for (size_t at = size; same && at < sink->size; ++at) {
        if (sink->bytes[at] != 0) {
            fprintf(stderr, "byte %zu after the end is not silence\n", at);
            same = 0;
        }
    }
    return same;
}
