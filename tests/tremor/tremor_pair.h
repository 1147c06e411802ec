// The two Tremors linked into one test program: the one the library uses,
// with the speed patches, and the reference built from the same source
// without them, whose symbols carry the prefix reference_tremor_. Both see
// the same public headers, so OggVorbis_File is one type.
#ifndef VELMORA_TREMOR_PAIR_H
#define VELMORA_TREMOR_PAIR_H

#include <tremor/ivorbiscodec.h>
#include <tremor/ivorbisfile.h>
extern "C" {
#include "codebook.h"  // Tremor's internal codebook types, from the patched tree
}

#include <cstdint>

// Tremor's internal entry points, declared as its own headers do; the
// reference's public ones beside them.
#define VELMORA_TREMOR_INTERNALS(prefix)                                                   \
    void prefix##mdct_backward(int n, std::int32_t *in, std::int32_t *out);               \
    const void *prefix##_vorbis_window(int type, int left);                                \
    void prefix##_vorbis_apply_window(std::int32_t *d, const void *window[2],             \
                                      long *blocksizes, int lW, int W, int nW);            \
    int prefix##vorbis_book_init_decode(codebook *dest, const static_codebook *source);    \
    void prefix##vorbis_book_clear(codebook *book);                                         \
    long prefix##vorbis_book_decode(codebook *book, oggpack_buffer *b);                     \
    long prefix##vorbis_book_decodevs_add(codebook *book, std::int32_t *a, oggpack_buffer *b, \
                                          int n, int point, long *entry, std::int32_t **t); \
    long prefix##vorbis_book_decodev_add(codebook *book, std::int32_t *a, oggpack_buffer *b, \
                                         int n, int point);                                 \
    long prefix##vorbis_book_decodev_set(codebook *book, std::int32_t *a, oggpack_buffer *b, \
                                         int n, int point);                                 \
    long prefix##vorbis_book_decodevv_add(codebook *book, std::int32_t **a, long offset,    \
                                          int ch, oggpack_buffer *b, int n, int point);    \
    void prefix##_vorbis_overlap_add(std::int32_t *pcm, const std::int32_t *p, int n);       \
    void prefix##_vorbis_decouple(std::int32_t *pcmM, std::int32_t *pcmA, int n);           \
    void prefix##_vorbis_floor1_render_line(int n, int x0, int x1, int y0, int y1, std::int32_t *d);

extern "C" {
void mdct_backward(int n, std::int32_t *in, std::int32_t *out);
const void *_vorbis_window(int type, int left);
void _vorbis_apply_window(std::int32_t *d, const void *window[2], long *blocksizes, int lW, int W, int nW);
void _vorbis_overlap_add(std::int32_t *pcm, const std::int32_t *p, int n);
void _vorbis_decouple(std::int32_t *pcmM, std::int32_t *pcmA, int n);
void _vorbis_floor1_render_line(int n, int x0, int x1, int y0, int y1, std::int32_t *d);
#if defined(__ARM_NEON) && !defined(__aarch64__)
// the patched Tremor's exact division for the floor's predictions
void _vorbis_floor1_reciprocal(int d, std::uint32_t *mult, unsigned char *shift);
int _vorbis_floor1_quotient(std::uint32_t numerator, std::uint32_t mult, int shift);
#endif
VELMORA_TREMOR_INTERNALS(reference_tremor_)
int reference_tremor_ov_open_callbacks(void *source, OggVorbis_File *vf, const char *initial, long ibytes,
                                       ov_callbacks callbacks);
long reference_tremor_ov_read(OggVorbis_File *vf, char *buffer, int length, int *bitstream);
int reference_tremor_ov_clear(OggVorbis_File *vf);
}

// One Tremor's entry points, so that a test can run the same steps on both.
struct tremor_entry_points {
    const char *name;
    void (*mdct_backward)(int, std::int32_t *, std::int32_t *);
    const void *(*window)(int, int);
    void (*apply_window)(std::int32_t *, const void *[2], long *, int, int, int);
    int (*open_callbacks)(void *, OggVorbis_File *, const char *, long, ov_callbacks);
    long (*read)(OggVorbis_File *, char *, int, int *);
    int (*clear)(OggVorbis_File *);
    int (*book_init_decode)(codebook *, const static_codebook *);
    void (*book_clear)(codebook *);
    long (*book_decode)(codebook *, oggpack_buffer *);
    // its scratch (patch 0010): n / dimensions entry numbers and vectors
    long (*book_decodevs_add)(codebook *, std::int32_t *, oggpack_buffer *, int, int, long *, std::int32_t **);
    long (*book_decodev_add)(codebook *, std::int32_t *, oggpack_buffer *, int, int);
    long (*book_decodev_set)(codebook *, std::int32_t *, oggpack_buffer *, int, int);
    long (*book_decodevv_add)(codebook *, std::int32_t **, long, int, oggpack_buffer *, int, int);
    void (*overlap_add)(std::int32_t *, const std::int32_t *, int);
    void (*decouple)(std::int32_t *, std::int32_t *, int);
    // the residue times the floor's line from (x0,y0) to (x1,y1), up to n
    void (*render_line)(int, int, int, int, int, std::int32_t *);
};

inline const tremor_entry_points patched_tremor{
    "patched", mdct_backward, _vorbis_window, _vorbis_apply_window, ov_open_callbacks, ov_read, ov_clear,
    vorbis_book_init_decode, vorbis_book_clear, vorbis_book_decode, vorbis_book_decodevs_add,
    vorbis_book_decodev_add, vorbis_book_decodev_set, vorbis_book_decodevv_add, _vorbis_overlap_add,
    _vorbis_decouple, _vorbis_floor1_render_line};
inline const tremor_entry_points reference_tremor{
    "reference", reference_tremor_mdct_backward, reference_tremor__vorbis_window,
    reference_tremor__vorbis_apply_window, reference_tremor_ov_open_callbacks, reference_tremor_ov_read,
    reference_tremor_ov_clear, reference_tremor_vorbis_book_init_decode, reference_tremor_vorbis_book_clear,
    reference_tremor_vorbis_book_decode, reference_tremor_vorbis_book_decodevs_add,
    reference_tremor_vorbis_book_decodev_add, reference_tremor_vorbis_book_decodev_set,
    reference_tremor_vorbis_book_decodevv_add, reference_tremor__vorbis_overlap_add,
    reference_tremor__vorbis_decouple, reference_tremor__vorbis_floor1_render_line};

#endif  // VELMORA_TREMOR_PAIR_H
