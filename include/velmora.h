/*
 * Velmora: Ogg Vorbis to interleaved signed 16-bit PCM, integer arithmetic only.
 *
 * Version banner: "ver.1.10(2008/10/24)"
 *
 * The host loop:
 *
 *     qdx_ogg_decoder *dec = qdx_ogg_create();
 *     if (!dec || qdx_ogg_input_memory(dec, ogg, ogg_size, 0) != 0) {
 *         qdx_ogg_free(dec);                  // refused: not an Ogg Vorbis stream
 *         return;
 *     }
 *     const qdx_ogg_wave_format *fmt = qdx_ogg_pcm_format(dec);
 *     open_audio_device(fmt->nChannels, fmt->nSamplesPerSec);
 *     static int16_t pcm[(4096 + QDX_OGG_MAX_OVERRUN) / 2];  // length + one batch
 *     while (!qdx_ogg_eof(dec)) {
 *         int32_t got = qdx_ogg_process_frame(dec, pcm, 4096);
 *         play(pcm, got);                     // got may be 0: just call again
 *     }
 *     qdx_ogg_free(dec);
 *
 * A looping host calls qdx_ogg_replay() when qdx_ogg_eof() reports 1, and
 * stops when it returns nonzero; with two sources attached, the first is
 * heard once and the second on every replay after it.
 *
 * Chained files: a file of several Ogg Vorbis streams one after another
 * (cat a.ogg b.ogg > c.ogg) decodes as its first stream only; the bytes of
 * the later ones are read and passed over, and qdx_ogg_eof() reports 1 at
 * the end of the input. To play every stream, attach each one in turn at
 * the offset where its first page begins (the file inputs' start, or a
 * memory block that begins there), as velmora-decode does.
 *
 * Threading: the library starts no thread and takes no lock. One decoder is
 * used by one thread at a time; different decoders may decode on different
 * threads at once. The file inputs and qdx_ogg_resume() share one
 * process-wide path buffer, so no two of them may run at the same time, even
 * on different decoders: a host calling them from several threads holds one
 * lock around those calls. Nothing else is shared between decoders, save one
 * debugging counter in Debian's packaged Tremor, bumped on every audio packet
 * and never read (the Tremor this project compiles from source drops it).
 *
 * Units: every offset, length and size is in bytes. PCM is signed 16-bit,
 * little-endian, interleaved by frame in the codec's channel order.
 *
 * This header compiles as C99 and as C++.
 */
#ifndef VELMORA_H
#define VELMORA_H

#include <stdint.h>

#if defined(_WIN32)
#  if defined(VELMORA_BUILDING)
#    define QDX_OGG_EXPORT __declspec(dllexport)
#  else
#    define QDX_OGG_EXPORT __declspec(dllimport)
#  endif
#else
#  define QDX_OGG_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The version banner that qdx_ogg_velm_ver() copies, and the room it needs. */
#define QDX_OGG_VERSION_BANNER "ver.1.10(2008/10/24)"
#define QDX_OGG_VERSION_BYTES 21

/*
 * The most bytes one qdx_ogg_process_frame() call may write beyond the
 * requested length. A host buffer of length + QDX_OGG_MAX_OVERRUN bytes is
 * always enough.
 */
#define QDX_OGG_MAX_OVERRUN 16384

/* The longest path a file input accepts, in bytes, terminator excluded. */
#define QDX_OGG_MAX_PATH_BYTES 1023

/* Opaque decoder record; one per stream. */
typedef struct qdx_ogg_decoder qdx_ogg_decoder;

/*
 * The PCM format record: 18 bytes, little-endian, no padding, in the
 * published WAVEFORMATEX layout. Holds zeros until a stream has started.
 */
#pragma pack(push, 1)
typedef struct qdx_ogg_wave_format {
    uint16_t wFormatTag;      /* 1: PCM */
    uint16_t nChannels;       /* channel count */
    uint32_t nSamplesPerSec;  /* sampling rate in Hz */
    uint32_t nAvgBytesPerSec; /* nBlockAlign x nSamplesPerSec */
    uint16_t nBlockAlign;     /* bytes per frame: channels x 2 */
    uint16_t wBitsPerSample;  /* 16 */
    uint16_t cbSize;          /* 0: no extra bytes follow */
} qdx_ogg_wave_format;
#pragma pack(pop)

/* --- Life of a decoder ------------------------------------------------ */

/*
 * Creates a decoder. Returns null when the local heap cannot supply the
 * record. The decoder makes no further allocation of its own; only libogg and
 * Tremor allocate inside their state while a stream plays.
 */
QDX_OGG_EXPORT qdx_ogg_decoder *qdx_ogg_create(void);

/*
 * When the runtime heap runs out inside libogg or Tremor, each failure is
 * answered: an input function refuses the stream (1), qdx_ogg_replay() reports
 * a restart that could not start (1, and qdx_ogg_eof() reports 1), a
 * decoding call drops the packet it could not decode and goes on, as with
 * damaged input, and a sync buffer that cannot grow ends the source
 * (qdx_ogg_eof() reports 1). This holds with Tremor compiled from source with
 * the project's patches (the ARM, Windows and low-accuracy builds); Debian's
 * packaged Tremor crashes on most of its own allocation failures. No call
 * needs memory for the thread it runs on, also in a module loaded at run time
 * and on threads started later, except on Windows beyond the process's first
 * 64 thread-local slots: there a thread's first call may find none, and then
 * changes nothing (an input function refuses with 1, the earlier input and
 * ownership of a memory block staying as they were; qdx_ogg_replay() returns
 * 1; a decoding call returns 0).
 */

/*
 * Releases the decoder: codec state, open files, mappings and views, and any
 * memory block handed over with ownership. Always returns 0; a null decoder
 * is ignored. The decoder is invalid afterwards.
 */
QDX_OGG_EXPORT int32_t qdx_ogg_free(qdx_ogg_decoder *decoder);

/* --- Inputs ---------------------------------------------------------------
 *
 * Each input function attaches one or two sources and reads the three Vorbis
 * headers from the first. It returns 0 when the stream started and 1 on any
 * failure: null decoder, null or over-long path, file that cannot be opened or
 * mapped, path that is not a regular file (a directory, FIFO, socket or
 * device: refused at once, without blocking), input that is not an Ogg
 * Vorbis stream beginning at its start offset, truncated or damaged headers,
 * a setup header over 512 KiB (encoders write a few KB), a heap that runs out
 * while the codec is set up, or a suspended decoder (which is left
 * unchanged). The comment header is checked but never kept, so it may be of
 * any size.
 *
 * A failed input leaves no stream started: qdx_ogg_eof() reports 1 and the
 * format record holds zeros, even where an earlier input had started one.
 * Only the refusals made before anything changes (a null or suspended
 * decoder, a null or over-long path, a null block with a size) leave an
 * earlier input attached as it was.
 *
 * Attaching again: an input function called on a decoder that already holds
 * an input first releases everything the earlier input held (codec state,
 * files, mappings, views and owned memory blocks), then attaches the new one.
 * So never hand the same owned block over twice.
 *
 * With two sources, the first is decoded first and the second after every
 * qdx_ogg_replay(); the first is never decoded again.
 */

/*
 * A stream held in memory, read in place: the block must stay valid and
 * unchanged until qdx_ogg_free() or the next input function. With owns_data
 * nonzero the decoder takes the block over and releases it at qdx_ogg_free();
 * such a block must come from the platform's local heap (LocalAlloc on
 * Windows, malloc elsewhere). A null block with a nonzero size, a null or a
 * suspended decoder, is refused before anything changes: an earlier input stays
 * attached and ownership of the block stays with the caller. A refusal by
 * stream start comes after ownership was taken: the block is released at
 * qdx_ogg_free().
 */
QDX_OGG_EXPORT int32_t qdx_ogg_input_memory(qdx_ogg_decoder *decoder,
                                            const void *data, uint32_t size,
                                            int32_t owns_data);

/*
 * Two memory blocks. One ownership flag covers both, so owned blocks must be
 * two separate allocations.
 */
QDX_OGG_EXPORT int32_t qdx_ogg_input_memory2(qdx_ogg_decoder *decoder,
                                             const void *data1, uint32_t size1,
                                             const void *data2, uint32_t size2,
                                             int32_t owns_data);

/*
 * A file read in chunks of 8192 bytes. path: narrow, NUL-terminated, in the
 * active code page, at most 1023 bytes. start: offset at which the stream
 * begins. length: bytes to read from start, 0 for all up to the end of file.
 * With length 0 a stream may run on past 4 GiB; after a suspend it goes on
 * at the same byte there too.
 */
QDX_OGG_EXPORT int32_t qdx_ogg_input_file_open(qdx_ogg_decoder *decoder,
                                               const char *path, uint32_t start,
                                               uint32_t length);

/* Two files read in chunks; a missing second file fails the call. */
QDX_OGG_EXPORT int32_t qdx_ogg_input_file_open2(
    qdx_ogg_decoder *decoder, const char *path1, uint32_t start1,
    uint32_t length1, const char *path2, uint32_t start2, uint32_t length2);

/*
 * A file mapped read-only into memory. start: offset at which the stream
 * begins. end: the absolute offset at which it stops (not a length), 0 for
 * the end of file. An end beyond the file is held to the file's size.
 *
 * A mapped file cut short by another process while it is decoded (POSIX
 * allows it; Windows does not) ends where it now ends: each refill first
 * takes the file's current size. A cut that lands between that check and the
 * copy of at most 8192 bytes that follows can still fault the process; a host
 * whose files may be rewritten by others while they play uses the read
 * inputs.
 */
QDX_OGG_EXPORT int32_t qdx_ogg_input_file_map(qdx_ogg_decoder *decoder,
                                              const char *path, uint32_t start,
                                              uint32_t end);

/* Two mapped files. */
QDX_OGG_EXPORT int32_t qdx_ogg_input_file_map2(
    qdx_ogg_decoder *decoder, const char *path1, uint32_t start1,
    uint32_t end1, const char *path2, uint32_t start2, uint32_t end2);

/* --- Decoding ------------------------------------------------------------ */

/*
 * Fills buffer, from its first byte, with interleaved 16-bit PCM and returns
 * the number of bytes written.
 *
 * length: the bytes wanted, greater than 0. The call converts whole batches
 * of about 8192 samples and checks length between them, so it may write past
 * length: the buffer must have room for length + QDX_OGG_MAX_OVERRUN bytes
 * (16384). The buffer must be aligned to 2 bytes.
 *
 * A return below length, 0 included, only means the call stopped to read
 * more input or at the end of the stream: call again until qdx_ogg_eof()
 * reports 1. Damaged input, and a packet the codec has no memory left to
 * decode, are passed over silently.
 *
 * A suspended decoder writes silence: zeros, as many whole frames of the
 * current format (nBlockAlign bytes each) as fit in length, and returns
 * their size, so the PCM after the resume stays on frame boundaries; 0 when
 * length is below one frame. Before any stream has started it fills length.
 * A null decoder or buffer, a length of 0 or less, or a decoder whose stream
 * has not started returns 0 and writes nothing.
 */
QDX_OGG_EXPORT int32_t qdx_ogg_process_frame(qdx_ogg_decoder *decoder,
                                             void *buffer, int32_t length);

/*
 * Restarts decoding from the start of a source: the only source, or, with two
 * sources, the second one (at the first replay and every later one). Pending
 * PCM is discarded; read qdx_ogg_pcm_format() again afterwards, as the second
 * stream may have another format. Returns 0 when the restarted stream
 * started; 1 when it did not (a second source that is not a playable Ogg
 * Vorbis stream, a file that cannot be read again, a heap that runs out):
 * decoding calls then return 0 and qdx_ogg_eof() reports 1, so a host that
 * replays at every end must stop on 1 rather than replay again; -1 for a
 * null decoder; -2 for a suspended decoder, which is left unchanged.
 */
QDX_OGG_EXPORT int32_t qdx_ogg_replay(qdx_ogg_decoder *decoder);

/* --- Suspend and resume --------------------------------------------------- */

/*
 * Releases every file, mapping and view the decoder holds without losing its
 * place; decoding calls produce silence meanwhile. Returns 0; -1 for a null
 * decoder; -2 when already suspended.
 */
QDX_OGG_EXPORT int32_t qdx_ogg_suspend(qdx_ogg_decoder *decoder);

/*
 * Reopens the files from their stored paths and goes on at the same byte.
 * Returns 0; -1 for a null decoder or when a mapped file cannot be reopened
 * (the decoder then stays suspended with nothing open); -2 when not
 * suspended. A read file that has gone away, or is no longer a regular
 * file, does not fail the resume: its source simply ends. A mapped file in
 * that case fails it.
 */
QDX_OGG_EXPORT int32_t qdx_ogg_resume(qdx_ogg_decoder *decoder);

/* --- Queries ------------------------------------------------------------- */

/*
 * 1 once the source in use is exhausted (all its PCM has been delivered),
 * else 0. Also 1 when no stream has started (no input yet, a refused input,
 * a replay whose stream did not start) and for a null decoder, so a host
 * loop on such a decoder ends.
 */
QDX_OGG_EXPORT int32_t qdx_ogg_eof(qdx_ogg_decoder *decoder);

/*
 * The PCM format record inside the decoder, valid until qdx_ogg_free().
 * Rewritten by every successful stream start (inputs and replay). Null for a
 * null decoder.
 */
QDX_OGG_EXPORT const qdx_ogg_wave_format *
qdx_ogg_pcm_format(qdx_ogg_decoder *decoder);

/* Always 0; kept for hosts that ask. Consults nothing. */
QDX_OGG_EXPORT int32_t qdx_ogg_pcm_size(qdx_ogg_decoder *decoder);

/*
 * Copies the version banner and its NUL (QDX_OGG_VERSION_BYTES, 21 bytes)
 * into buffer; a null buffer is ignored. Always returns 0.
 */
QDX_OGG_EXPORT int32_t qdx_ogg_velm_ver(char *buffer);

#ifdef __cplusplus
}
#endif

#endif /* VELMORA_H */
