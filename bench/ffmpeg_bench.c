/* ffmpeg_bench: FFmpeg's Vorbis decoder on the same terms as velmora_bench's
 * single decode, the yardstick of bench/compare.sh.
 *
 *   ffmpeg_bench [--runs N] [--pcm OUT.raw] FILE.ogg
 *
 * The file is read into memory first; the measured decode then runs from
 * opening the stream to freeing everything: libavformat's Ogg demuxer over
 * the memory block (a custom AVIOContext, no seeking, as velmora_bench's
 * memory input), libavcodec's Vorbis decoder (planar float) and
 * libswresample converting to interleaved signed 16-bit, asked for
 * HOST_CALL_BYTES a call as a player would ask Velmora.
 *
 * Prints "channels= rate= pcm_bytes= audio_seconds=" as velmora_bench does;
 * with --runs N the decode runs N times and "runs= best_seconds=
 * best_cpu_seconds=" (wall and process CPU time, the best of each) follows.
 * --pcm writes one more decode's PCM in Vorbis channel order (FFmpeg
 * reorders channels to its own layout; the file is put back so that it
 * compares with libvorbis's output sample for sample).
 */
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

enum { HOST_CALL_BYTES = 4096, AVIO_BUFFER_BYTES = 4096, MAX_CHANNELS = 8 };

struct memory_reader {
    const uint8_t *data;
    size_t size;
    size_t position;
};

struct decode_result {
    int ok;
    int channels;
    int rate;
    uint64_t bytes;
};

/* Where the PCM of each conversion goes: nowhere when timing, to a file
 * (reordered) when measuring quality. */
struct pcm_output {
    FILE *file;
    int order[MAX_CHANNELS]; /* Vorbis channel i is FFmpeg's order[i] */
    int failed;
};

static int read_memory(void *opaque, uint8_t *buffer, int wanted) {
    struct memory_reader *reader = opaque;
    size_t left = reader->size - reader->position;
    size_t take = (size_t)wanted < left ? (size_t)wanted : left;
    if (take == 0) return AVERROR_EOF;
    memcpy(buffer, reader->data + reader->position, take);
    reader->position += take;
    return (int)take;
}

/* The Vorbis I channel orders for 1 to 8 channels, in FFmpeg's names. */
static const enum AVChannel *vorbis_order(int channels) {
    static const enum AVChannel orders[MAX_CHANNELS][MAX_CHANNELS] = {
        {AV_CHAN_FRONT_CENTER},
        {AV_CHAN_FRONT_LEFT, AV_CHAN_FRONT_RIGHT},
        {AV_CHAN_FRONT_LEFT, AV_CHAN_FRONT_CENTER, AV_CHAN_FRONT_RIGHT},
        {AV_CHAN_FRONT_LEFT, AV_CHAN_FRONT_RIGHT, AV_CHAN_BACK_LEFT, AV_CHAN_BACK_RIGHT},
        {AV_CHAN_FRONT_LEFT, AV_CHAN_FRONT_CENTER, AV_CHAN_FRONT_RIGHT, AV_CHAN_BACK_LEFT,
         AV_CHAN_BACK_RIGHT},
        {AV_CHAN_FRONT_LEFT, AV_CHAN_FRONT_CENTER, AV_CHAN_FRONT_RIGHT, AV_CHAN_BACK_LEFT,
         AV_CHAN_BACK_RIGHT, AV_CHAN_LOW_FREQUENCY},
        {AV_CHAN_FRONT_LEFT, AV_CHAN_FRONT_CENTER, AV_CHAN_FRONT_RIGHT, AV_CHAN_SIDE_LEFT,
         AV_CHAN_SIDE_RIGHT, AV_CHAN_BACK_CENTER, AV_CHAN_LOW_FREQUENCY},
        {AV_CHAN_FRONT_LEFT, AV_CHAN_FRONT_CENTER, AV_CHAN_FRONT_RIGHT, AV_CHAN_SIDE_LEFT,
         AV_CHAN_SIDE_RIGHT, AV_CHAN_BACK_LEFT, AV_CHAN_BACK_RIGHT, AV_CHAN_LOW_FREQUENCY},
    };
    return orders[channels - 1];
}

/* Fills output->order from the decoder's layout; identity where a channel
 * is not found (a layout FFmpeg does not know, which then stays as is). */
static void find_order(struct pcm_output *output, const AVChannelLayout *layout) {
    const int channels = layout->nb_channels;
    for (int i = 0; i < channels && i < MAX_CHANNELS; ++i) {
        int index = channels <= MAX_CHANNELS
                        ? av_channel_layout_index_from_channel(layout, vorbis_order(channels)[i])
                        : -1;
        output->order[i] = index >= 0 ? index : i;
    }
}

static void write_frames(struct pcm_output *output, const int16_t *pcm, int frames, int channels) {
    int16_t frame[MAX_CHANNELS];
    if (channels > MAX_CHANNELS) {
        if (fwrite(pcm, sizeof *pcm * (size_t)channels, (size_t)frames, output->file) != (size_t)frames)
            output->failed = 1;
        return;
    }
    for (int f = 0; f < frames; ++f, pcm += channels) {
        for (int c = 0; c < channels; ++c) frame[c] = pcm[output->order[c]];
        if (fwrite(frame, sizeof *frame, (size_t)channels, output->file) != (size_t)channels)
            output->failed = 1;
    }
}

/* Converts one decoded frame (or, with no frame, what the resampler still
 * holds), handing out HOST_CALL_BYTES at a time. */
static void convert(SwrContext *swr, const AVFrame *frame, struct decode_result *result,
                    struct pcm_output *output) {
    static int16_t pcm[HOST_CALL_BYTES / 2];
    const int frames_per_call = HOST_CALL_BYTES / (2 * result->channels);
    uint8_t *out[1] = {(uint8_t *)pcm};
    const uint8_t **in = frame ? (const uint8_t **)frame->extended_data : NULL;
    int in_frames = frame ? frame->nb_samples : 0;
    for (;;) {
        int got = swr_convert(swr, out, frames_per_call, in, in_frames);
        if (got <= 0) {
            if (got < 0) result->ok = 0;
            return;
        }
        result->bytes += (uint64_t)got * 2u * (uint64_t)result->channels;
        if (output) write_frames(output, pcm, got, result->channels);
        in = NULL;
        in_frames = 0;
    }
}

static SwrContext *open_resampler(AVCodecContext *codec) {
    SwrContext *swr = NULL;
    if (swr_alloc_set_opts2(&swr, &codec->ch_layout, AV_SAMPLE_FMT_S16, codec->sample_rate,
                            &codec->ch_layout, codec->sample_fmt, codec->sample_rate, 0, NULL) < 0 ||
        swr_init(swr) < 0) {
        swr_free(&swr);
    }
    return swr;
}

/* Feeds every packet of the stream to the decoder, then drains it. */
static void decode_packets(AVFormatContext *format, int stream, AVCodecContext *codec,
                           SwrContext *swr, struct decode_result *result,
                           struct pcm_output *output) {
    AVPacket *packet = av_packet_alloc();
    AVFrame *frame = av_frame_alloc();
    int flushing = 0;
    while (result->ok && packet && frame) {
        if (!flushing) {
            int read = av_read_frame(format, packet);
            if (read < 0) {
                flushing = 1;
                avcodec_send_packet(codec, NULL);
            } else {
                if (packet->stream_index == stream && avcodec_send_packet(codec, packet) < 0)
                    result->ok = 0;
                av_packet_unref(packet);
            }
        }
        int received;
        while ((received = avcodec_receive_frame(codec, frame)) == 0) {
            convert(swr, frame, result, output);
            av_frame_unref(frame);
        }
        if (received == AVERROR_EOF) break;
        if (received != AVERROR(EAGAIN)) result->ok = 0;
    }
    convert(swr, NULL, result, output);
    av_frame_free(&frame);
    av_packet_free(&packet);
}

/* One whole decode from the memory block: everything a profile should count
 * happens in here (compare.sh points callgrind's --toggle-collect at it). */
__attribute__((noinline)) struct decode_result measured_decode(const uint8_t *data, size_t size,
                                                                struct pcm_output *output) {
    struct decode_result result = {0, 0, 0, 0};
    struct memory_reader reader = {data, size, 0};
    uint8_t *avio_buffer = av_malloc(AVIO_BUFFER_BYTES);
    AVIOContext *avio = avio_buffer ? avio_alloc_context(avio_buffer, AVIO_BUFFER_BYTES, 0, &reader,
                                                         read_memory, NULL, NULL)
                                    : NULL;
    AVFormatContext *format = avformat_alloc_context();
    AVCodecContext *codec = NULL;
    SwrContext *swr = NULL;
    if (!avio || !format) goto done;
    format->pb = avio;
    if (avformat_open_input(&format, NULL, av_find_input_format("ogg"), NULL) < 0) goto done;
    const AVCodec *decoder = NULL;
    int stream = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (stream < 0 || !decoder) goto done;
    codec = avcodec_alloc_context3(decoder);
    if (!codec || avcodec_parameters_to_context(codec, format->streams[stream]->codecpar) < 0 ||
        avcodec_open2(codec, decoder, NULL) < 0)
        goto done;
    swr = open_resampler(codec);
    if (!swr) goto done;
    result.ok = 1;
    result.channels = codec->ch_layout.nb_channels;
    result.rate = codec->sample_rate;
    if (output) find_order(output, &codec->ch_layout);
    decode_packets(format, stream, codec, swr, &result, output);
done:
    swr_free(&swr);
    avcodec_free_context(&codec);
    avformat_close_input(&format);
    avformat_free_context(format);
    if (avio) {
        av_freep(&avio->buffer);  /* the demuxer may have replaced ours */
        avio_context_free(&avio);
    } else {
        av_free(avio_buffer);
    }
    return result;
}

static uint8_t *read_file(const char *path, size_t *size) {
    FILE *file = fopen(path, "rb");
    uint8_t *data = NULL;
    long length;
    if (!file) return NULL;
    if (fseek(file, 0, SEEK_END) == 0 && (length = ftell(file)) > 0 && fseek(file, 0, SEEK_SET) == 0 &&
        (data = malloc((size_t)length)) != NULL) {
        *size = fread(data, 1, (size_t)length, file);
        if (*size != (size_t)length) {
            free(data);
            data = NULL;
        }
    }
    fclose(file);
    return data;
}

static double seconds_now(clockid_t clock) {
    struct timespec now;
    clock_gettime(clock, &now);
    return (double)now.tv_sec + (double)now.tv_nsec * 1e-9;
}

static int write_pcm(const char *path, const uint8_t *data, size_t size) {
    struct pcm_output output = {fopen(path, "wb"), {0}, 0};
    if (!output.file) return 0;
    struct decode_result result = measured_decode(data, size, &output);
    int closed = fclose(output.file) == 0;
    return result.ok && !output.failed && closed;
}

int main(int argc, char **argv) {
    int runs = 0;
    const char *pcm_path = NULL, *path = NULL;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--runs") == 0 && i + 1 < argc) runs = atoi(argv[++i]);
        else if (strcmp(argv[i], "--pcm") == 0 && i + 1 < argc) pcm_path = argv[++i];
        else if (argv[i][0] != '-' && !path) path = argv[i];
        else path = NULL, runs = -1, i = argc;
    }
    if (!path || runs < 0) {
        fprintf(stderr, "usage: ffmpeg_bench [--runs N] [--pcm OUT.raw] FILE.ogg\n");
        return 2;
    }
    size_t size = 0;
    uint8_t *data = read_file(path, &size);
    if (!data) {
        fprintf(stderr, "ffmpeg_bench: cannot read %s\n", path);
        return 1;
    }
    av_log_set_level(AV_LOG_ERROR);
    printf("decoder=ffmpeg input=memory file=%s\n", path);
    fflush(stdout);
    struct decode_result result = {0, 0, 0, 0};
    double best = 0, best_cpu = 0;
    for (int run = 0; run < (runs > 0 ? runs : 1); ++run) {
        double start = seconds_now(CLOCK_MONOTONIC), cpu_start = seconds_now(CLOCK_PROCESS_CPUTIME_ID);
        result = measured_decode(data, size, NULL);
        double cpu = seconds_now(CLOCK_PROCESS_CPUTIME_ID) - cpu_start;
        double took = seconds_now(CLOCK_MONOTONIC) - start;
        if (run == 0 || took < best) best = took;
        if (run == 0 || cpu < best_cpu) best_cpu = cpu;
    }
    printf("channels=%d rate=%d pcm_bytes=%llu audio_seconds=%.3f\n", result.channels, result.rate,
           (unsigned long long)result.bytes,
           result.channels > 0 ? (double)result.bytes / (2.0 * result.channels * result.rate) : 0.0);
    if (runs > 0) printf("runs=%d best_seconds=%.6f best_cpu_seconds=%.6f\n", runs, best, best_cpu);
    int status = result.ok ? 0 : 1;
    if (pcm_path && !write_pcm(pcm_path, data, size)) {
        fprintf(stderr, "ffmpeg_bench: cannot write the PCM to %s\n", pcm_path);
        status = 1;
    }
    free(data);
    return status;
}
