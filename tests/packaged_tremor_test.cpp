// The Tremor this build compiles from Debian's source, with our patches,
// decodes every input to exactly the PCM of Debian's packaged Tremor: the
// patches mend failure paths and bounds only. Both decode each fixture,
// shared vector, malformed file and fuzz regression input with ov_read; the
// packaged library is loaded at run time beside the compiled one. Inputs
// the library refuses to start are not given to the packaged Tremor: among
// them are setup headers that crash it.
#include <gtest/gtest.h>

#include <dirent.h>
#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "velmora.h"
#include "core_helpers.h"
#include "support/reference.h"
#include "support/sanitizer.h"
#include "support/test_data.h"

namespace {

// Its own symbols bound first, so that its calls stay inside it; the
// address sanitizer refuses that flag and the library is then loaded plainly
// (the test program exports none of the compiled Tremor's symbols).
#ifdef UNDER_ADDRESS_SANITIZER
constexpr int LOAD_FLAGS = RTLD_NOW | RTLD_LOCAL;
#else
constexpr int LOAD_FLAGS = RTLD_NOW | RTLD_LOCAL | RTLD_DEEPBIND;
#endif

class packaged_tremor {
public:
    packaged_tremor() : module_(dlopen("libvorbisidec.so.1", LOAD_FLAGS)) {}
    ~packaged_tremor() {
        if (module_) dlclose(module_);
    }
    packaged_tremor(const packaged_tremor &) = delete;
    packaged_tremor &operator=(const packaged_tremor &) = delete;

    bool loaded() const { return module_ != nullptr; }

    ivorbisfile_calls calls() const {
        ivorbisfile_calls c{};
        c.open_callbacks = reinterpret_cast<decltype(c.open_callbacks)>(dlsym(module_, "ov_open_callbacks"));
        c.info = reinterpret_cast<decltype(c.info)>(dlsym(module_, "ov_info"));
        c.read = reinterpret_cast<decltype(c.read)>(dlsym(module_, "ov_read"));
        c.clear = reinterpret_cast<decltype(c.clear)>(dlsym(module_, "ov_clear"));
        return c;
    }

private:
    void *module_;
};

std::vector<std::string> files_in(const std::string &dir) {
    std::vector<std::string> paths;
    if (DIR *d = opendir(dir.c_str())) {
        while (const dirent *entry = readdir(d)) {
            const std::string name = entry->d_name;
            if (name[0] != '.' && name != "README.md") paths.push_back(dir + "/" + name);
        }
        closedir(d);
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::vector<std::string> every_input() {
    std::vector<std::string> inputs = ogg_files_in(VELMORA_SOURCE_DIR "/fixtures");
    for (const char *subdir : {"vorbis-vectors", "malformed-vorbis"}) {
        const std::string dir = shared_testdata_dir(subdir);
        if (dir.empty()) continue;
        const std::vector<std::string> shared = ogg_files_in(dir);
        inputs.insert(inputs.end(), shared.begin(), shared.end());
    }
    const std::vector<std::string> regressions = files_in(VELMORA_SOURCE_DIR "/fuzz/regressions");
    inputs.insert(inputs.end(), regressions.begin(), regressions.end());
    return inputs;
}

bool library_starts(const std::vector<std::uint8_t> &bytes) {
    decoder_handle d = new_decoder();
    return qdx_ogg_input_memory(d.get(), bytes.data(), size32(bytes), 0) == 0;
}

TEST(packaged_tremor, compiled_tremor_decodes_every_input_to_its_pcm) {
    packaged_tremor packaged;
    ASSERT_TRUE(packaged.loaded()) << "Debian's libvorbisidec.so.1 is not installed: " << dlerror();
    const ivorbisfile_calls calls = packaged.calls();
    ASSERT_TRUE(calls.open_callbacks && calls.info && calls.read && calls.clear);
    ASSERT_NE(reinterpret_cast<void *>(calls.read), reinterpret_cast<void *>(&ov_read))
        << "the packaged library's ov_read must not be the compiled one";

    if (shared_testdata_dir("vorbis-vectors").empty()) {
        std::printf("../shared/testdata is absent: fixtures and regressions only\n");
    }
    std::size_t decoded = 0;
    for (const std::string &path : every_input()) {
        SCOPED_TRACE(path);
        const std::vector<std::uint8_t> bytes = read_bytes(path);
        if (!library_starts(bytes)) continue;
        const reference_result want = reference_decode_with(calls, bytes);
        const reference_result got = reference_decode(bytes);
        EXPECT_EQ(got.opened, want.opened);
        EXPECT_EQ(got.channels, want.channels);
        EXPECT_EQ(got.rate, want.rate);
        EXPECT_EQ(got.pcm.size(), want.pcm.size());
        EXPECT_TRUE(got.pcm == want.pcm) << "PCM differs from the packaged Tremor's";
        if (want.opened) ++decoded;
    }
    std::printf("%zu inputs decoded by both\n", decoded);
    EXPECT_GE(decoded, 10u);
}

}  // namespace
