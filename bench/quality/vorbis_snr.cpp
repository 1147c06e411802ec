// vorbis_snr FILE.ogg TEST.raw: the signal-to-noise ratio of TEST.raw
// (interleaved 16-bit little-endian PCM, e.g. from tremor_pcm) against
// libvorbis's floating-point decoder, ov_read with 16-bit signed
// little-endian output, over the first logical stream.
//
// Prints one line: snr_db=, samples= (compared), length_difference= (test
// minus reference, in samples), max_error= (largest absolute difference).
#include <vorbis/vorbisfile.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

std::vector<std::int16_t> reference_pcm(const char *path) {
    std::vector<std::int16_t> pcm;
    OggVorbis_File file;
    if (ov_fopen(path, &file) != 0) return pcm;
    char chunk[4096];
    int link = 0;
    long got;
    while ((got = ov_read(&file, chunk, sizeof chunk, 0, 2, 1, &link)) != 0) {
        if (got == OV_HOLE) continue;
        if (got < 0 || link != 0) break;
        const auto *samples = reinterpret_cast<const std::int16_t *>(chunk);
        pcm.insert(pcm.end(), samples, samples + got / 2);
    }
    ov_clear(&file);
    return pcm;
}

std::vector<std::int16_t> raw_pcm(const char *path) {
    std::vector<std::int16_t> pcm;
    FILE *f = std::fopen(path, "rb");
    if (!f) return pcm;
    std::int16_t block[4096];
    size_t got;
    while ((got = std::fread(block, sizeof block[0], 4096, f)) > 0) pcm.insert(pcm.end(), block, block + got);
    std::fclose(f);
    return pcm;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: vorbis_snr FILE.ogg TEST.raw\n");
        return 2;
    }
    const std::vector<std::int16_t> reference = reference_pcm(argv[1]);
    const std::vector<std::int16_t> test = raw_pcm(argv[2]);
    if (reference.empty() || test.empty()) {
        std::fprintf(stderr, "vorbis_snr: nothing to compare (%s, %s)\n", argv[1], argv[2]);
        return 1;
    }
    const size_t n = reference.size() < test.size() ? reference.size() : test.size();
    double signal = 0, noise = 0;
    int max_error = 0;
    for (size_t i = 0; i < n; ++i) {
        const double r = reference[i];
        const int error = std::abs(test[i] - reference[i]);
        signal += r * r;
        noise += static_cast<double>(error) * error;
        if (error > max_error) max_error = error;
    }
    const double snr = noise == 0 ? INFINITY : 10 * std::log10(signal / noise);
    std::printf("snr_db=%.2f samples=%zu length_difference=%lld max_error=%d\n", snr, n,
                static_cast<long long>(test.size()) - static_cast<long long>(reference.size()),
                max_error);
    return 0;
}
