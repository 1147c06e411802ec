// The reference Tremor's ivorbisfile entry points, where the build links it:
// from-source builds with tests compile Tremor a second time without the
// speed patches, its symbols prefixed reference_tremor_, so the timing table
// can measure the speed patches' gain against the very Tremor they patch.
#include "ovread_decode.h"

#if defined(VELMORA_BENCH_REFERENCE_TREMOR)
extern "C" {
int reference_tremor_ov_open_callbacks(void *source, OggVorbis_File *vf, const char *initial, long ibytes,
                                       ov_callbacks callbacks);
vorbis_info *reference_tremor_ov_info(OggVorbis_File *vf, int link);
long reference_tremor_ov_read(OggVorbis_File *vf, char *buffer, int length, int *bitstream);
int reference_tremor_ov_clear(OggVorbis_File *vf);
}

const ivorbisfile_calls *reference_tremor() {
    static const ivorbisfile_calls calls{reference_tremor_ov_open_callbacks, reference_tremor_ov_info,
                                         reference_tremor_ov_read, reference_tremor_ov_clear};
    return &calls;
}
#else
const ivorbisfile_calls *reference_tremor() { return nullptr; }
#endif
