// Velmora.ovl driven as a Windows host drives it, through LoadLibraryA and
// GetProcAddress: the export table, PCM equal to Tremor's ov_read over every
// source kind, replay over two sources, suspend and resume, and narrow paths
// in the active code page.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "support/reference.h"
#include "win_files.h"
#include "win_host_loop.h"
#include "win_sources.h"

namespace {

// Tremor's own PCM for a fixture, decoded once per program.
const reference_result &reference_for(const std::string &path) {
    static std::map<std::string, reference_result> decoded;
    auto found = decoded.find(path);
    if (found == decoded.end()) found = decoded.emplace(path, reference_decode(read_bytes(path))).first;
    return found->second;
}

std::vector<std::uint8_t> joined(std::initializer_list<const std::vector<std::uint8_t> *> parts) {
    std::vector<std::uint8_t> all;
    for (const auto *part : parts) all.insert(all.end(), part->begin(), part->end());
    return all;
}

class ModuleTest : public testing::Test {
protected:
    void SetUp() override {
        const loaded_module &module = velmora_module();
        ASSERT_NE(module.handle(), nullptr) << "LoadLibraryA(\"Velmora.ovl\") failed, error " << module.load_error();
        ASSERT_TRUE(module.unresolved().empty()) << "missing export " << module.unresolved().front();
    }
};

// --- The module and its exports ---------------------------------------------

TEST_F(ModuleTest, ExportsExactlyTheSixteenFunctionsByName) {
    export_directory exports = read_export_directory(velmora_module().handle());
    std::vector<std::string> want = velmora_export_names;
    std::sort(want.begin(), want.end());
    std::sort(exports.names.begin(), exports.names.end());
    EXPECT_EQ(exports.names, want);
    EXPECT_EQ(exports.functions, 16u) << "an export without a name";
}

DWORD WINAPI ask_banner(void *into) {
    velmora().velm_ver(static_cast<char *>(into));
    return 7;
}

// The entry point answers thread notifications too: threads start and end
// while the module is loaded, and it unloads cleanly.
TEST_F(ModuleTest, LoadsAgainAndServesOtherThreads) {
    HMODULE again = LoadLibraryA("Velmora.ovl");
    ASSERT_EQ(again, velmora_module().handle());
    char banner[QDX_OGG_VERSION_BYTES + 8];
    std::memset(banner, 0x5A, sizeof banner);
    HANDLE thread = CreateThread(nullptr, 0, ask_banner, banner, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    DWORD status = 0;
    GetExitCodeThread(thread, &status);
    CloseHandle(thread);
    EXPECT_EQ(status, 7u);
    EXPECT_EQ(std::memcmp(banner, "ver.1.10(2008/10/24)", QDX_OGG_VERSION_BYTES), 0);
    EXPECT_EQ(banner[QDX_OGG_VERSION_BYTES], 0x5A) << "the banner overran its 21 bytes";
    EXPECT_TRUE(FreeLibrary(again));
}

// --- PCM over every source kind -----------------------------------------------

struct decode_case {
    source_kind kind;
    std::string fixture;
    std::int32_t length;  // 0: varying lengths
};

void PrintTo(const decode_case &c, std::ostream *os) {
    *os << source_kind_name(c.kind) << " " << c.fixture << " @" << c.length;
}

std::vector<decode_case> decode_cases() {
    std::vector<decode_case> cases;
    for (source_kind kind : every_source_kind) {
        for (const char *fixture : {"mono44", "stereo44", "six48", "three", "mono22", "short", "chained",
                                    "badcrc_audio", "longcomment", "intro", "loop"}) {
            for (std::int32_t length : {777, 4096, 0}) cases.push_back({kind, fixture, length});
        }
    }
    return cases;
}

std::string decode_case_name(const testing::TestParamInfo<decode_case> &info) {
    const decode_case &c = info.param;
    return source_kind_name(c.kind) + "_" + c.fixture + "_" +
           (c.length == 0 ? std::string("varying") : "len" + std::to_string(c.length));
}

class ReferencePcm : public ModuleTest, public testing::WithParamInterface<decode_case> {};

TEST_P(ReferencePcm, MatchesOvRead) {
    const decode_case &c = GetParam();
    const std::string path = fixture_path(c.fixture + ".ogg");
    decoder_handle d = new_decoder();
    ASSERT_EQ(attach_one(d.get(), c.kind, path), 0);
    const decode_result got = decode_to_end(d.get(), c.length == 0 ? varying_length() : fixed_length(c.length));
    EXPECT_EQ(got.fault, "");
    EXPECT_TRUE(got.reached_eof);
    const reference_result &want = reference_for(path);
    ASSERT_TRUE(want.opened);
    const qdx_ogg_wave_format *format = velmora().pcm_format(d.get());
    EXPECT_EQ(format->nChannels, want.channels);
    EXPECT_EQ(static_cast<long>(format->nSamplesPerSec), want.rate);
    EXPECT_EQ(got.pcm.size(), want.pcm.size());
    EXPECT_TRUE(got.pcm == want.pcm) << "PCM differs from ov_read";
}

INSTANTIATE_TEST_SUITE_P(EverySourceKind, ReferencePcm, testing::ValuesIn(decode_cases()), decode_case_name);

class PerSourceKind : public ModuleTest, public testing::WithParamInterface<source_kind> {};

std::string kind_name(const testing::TestParamInfo<source_kind> &info) { return source_kind_name(info.param); }

// --- Replay over two sources --------------------------------------------------

// The intro is heard once, the loop after every replay.
TEST_P(PerSourceKind, ReplayPlaysIntroThenLoopTwice) {
    const std::string intro = fixture_path("intro.ogg");
    const std::string loop = fixture_path("loop.ogg");
    decoder_handle d = new_decoder();
    ASSERT_EQ(attach_two(d.get(), GetParam(), intro, loop), 0);
    const decode_result first = decode_to_end(d.get(), fixed_length(4096));
    ASSERT_EQ(velmora().replay(d.get()), 0);
    const decode_result second = decode_to_end(d.get(), varying_length());
    ASSERT_EQ(velmora().replay(d.get()), 0);
    const decode_result third = decode_to_end(d.get(), fixed_length(777));
    for (const decode_result *run : {&first, &second, &third}) {
        EXPECT_EQ(run->fault, "");
        EXPECT_TRUE(run->reached_eof);
    }
    const std::vector<std::uint8_t> want =
        joined({&reference_for(intro).pcm, &reference_for(loop).pcm, &reference_for(loop).pcm});
    const std::vector<std::uint8_t> got = joined({&first.pcm, &second.pcm, &third.pcm});
    EXPECT_EQ(got.size(), want.size());
    EXPECT_TRUE(got == want) << "intro + loop + loop differs from ov_read's";
}

// --- Suspend and resume ------------------------------------------------------------

constexpr std::int32_t STEP = 4096;

// Decodes a few calls, suspends, makes silent calls of odd lengths, resumes,
// and decodes to the end: the uninterrupted PCM with the silence inserted.
TEST_P(PerSourceKind, SuspendInsertsSilenceAndResumeGoesOn) {
    const std::string path = fixture_path("stereo44.ogg");
    decoder_handle d = new_decoder();
    ASSERT_EQ(attach_one(d.get(), GetParam(), path), 0);
    std::vector<std::uint8_t> got;
    std::string fault;
    for (int i = 0; i < 5; ++i) checked_call(d.get(), STEP, &got, &fault);
    const std::size_t before = got.size();

    ASSERT_EQ(velmora().suspend(d.get()), 0);
    EXPECT_EQ(velmora().suspend(d.get()), -2);
    // Silence comes in whole stereo frames of four bytes, as PCM does.
    std::size_t silence = 0;
    for (std::int32_t length : {1, 777, 4096, 3}) {
        const std::int32_t whole_frames = length - length % 4;
        EXPECT_EQ(checked_call(d.get(), length, &got, &fault), whole_frames);
        silence += static_cast<std::size_t>(whole_frames);
    }
    ASSERT_EQ(velmora().resume(d.get()), 0);
    EXPECT_EQ(velmora().resume(d.get()), -2);
    const decode_result rest = decode_to_end(d.get(), fixed_length(STEP));
    EXPECT_EQ(fault, "");
    EXPECT_EQ(rest.fault, "");
    got.insert(got.end(), rest.pcm.begin(), rest.pcm.end());

    std::vector<std::uint8_t> want = reference_for(path).pcm;
    ASSERT_GT(want.size(), before);
    want.insert(want.begin() + static_cast<std::ptrdiff_t>(before), silence, 0);
    EXPECT_EQ(got.size(), want.size());
    EXPECT_TRUE(got == want) << "not the uninterrupted PCM with silence inserted";
}

INSTANTIATE_TEST_SUITE_P(EverySourceKind, PerSourceKind, testing::ValuesIn(every_source_kind), kind_name);

// --- What Windows shows of the file handles ----------------------------------

// A scratch copy of a fixture, so tests may write over it and delete it.
class FileSourceTest : public ModuleTest, public testing::WithParamInterface<source_kind> {
protected:
    void SetUp() override {
        ModuleTest::SetUp();
        write_bytes(scratch.wide_file(L"copy.ogg"), read_bytes(fixture_path("stereo44.ogg")));
    }
    std::string copy() const { return scratch.file("copy.ogg"); }
    scratch_dir scratch;
};

bool writable(const std::string &path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

// The module opens its files sharing reads only, so nobody can write them
// while it holds them; suspend lets them go, and free releases them.
TEST_P(FileSourceTest, HoldsItsFileSharingReadsOnlyUntilSuspended) {
    decoder_handle d = new_decoder();
    ASSERT_EQ(attach_one(d.get(), GetParam(), copy()), 0);
    EXPECT_FALSE(writable(copy())) << "opened without FILE_SHARE_READ alone";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    ASSERT_EQ(velmora().suspend(d.get()), 0);
    EXPECT_TRUE(writable(copy())) << "suspend left the file open";
    ASSERT_EQ(velmora().resume(d.get()), 0);
    EXPECT_FALSE(writable(copy())) << "resume did not reopen the file";
    d.reset();
    EXPECT_TRUE(writable(copy())) << "free left the file open";
}

// A file deleted while suspended: a mapped source cannot resume, a read
// source resumes and then ends.
TEST_P(FileSourceTest, FileDeletedWhileSuspended) {
    decoder_handle d = new_decoder();
    ASSERT_EQ(attach_one(d.get(), GetParam(), copy()), 0);
    std::vector<std::uint8_t> got;
    std::string fault;
    checked_call(d.get(), STEP, &got, &fault);
    ASSERT_EQ(velmora().suspend(d.get()), 0);
    ASSERT_TRUE(DeleteFileA(copy().c_str()));
    if (GetParam() == source_kind::mapped_file) {
        EXPECT_EQ(velmora().resume(d.get()), -1);
        EXPECT_EQ(velmora().suspend(d.get()), -2) << "a failed resume left the decoder running";
        return;
    }
    EXPECT_EQ(velmora().resume(d.get()), 0);
    const decode_result rest = decode_to_end(d.get(), fixed_length(STEP));
    EXPECT_EQ(rest.fault, "");
    EXPECT_TRUE(rest.reached_eof);
    EXPECT_LT(got.size() + rest.pcm.size(), reference_for(fixture_path("stereo44.ogg")).pcm.size());
}

TEST_P(FileSourceTest, MissingFileOrFolderIsRefused) {
    decoder_handle d = new_decoder();
    EXPECT_EQ(attach_one(d.get(), GetParam(), scratch.file("absent.ogg")), 1);
    decoder_handle e = new_decoder();
    EXPECT_EQ(attach_one(e.get(), GetParam(), program_dir() + "\\fixtures"), 1);
}

// --- Narrow paths in the active code page ---------------------------------------

// "café €": é is 0xE9 and € is 0x80 in Windows-1252. A conversion that merely
// widened the bytes would turn 0x80 into U+0080, another name.
const std::wstring NON_ASCII_NAME = L"caf\u00e9 \u20ac.ogg";

TEST_P(FileSourceTest, NonAsciiPathInActiveCodePage) {
    const std::string name = narrow_in_active_code_page(NON_ASCII_NAME);
    if (name.empty()) {
        GTEST_SKIP() << "code page " << GetACP() << " cannot spell the name";
    }
    if (GetACP() == 1252) {
        EXPECT_EQ(name, "caf\xE9 \x80.ogg");
    }
    ASSERT_TRUE(std::any_of(name.begin(), name.end(), [](char c) { return (c & 0x80) != 0; }));
    write_bytes(scratch.wide_file(NON_ASCII_NAME), read_bytes(fixture_path("mono44.ogg")));

    decoder_handle d = new_decoder();
    ASSERT_EQ(attach_one(d.get(), GetParam(), scratch.file(name)), 0) << "code page " << GetACP();
    std::vector<std::uint8_t> got;
    std::string fault;
    checked_call(d.get(), STEP, &got, &fault);
    // Resume converts the stored narrow path again.
    ASSERT_EQ(velmora().suspend(d.get()), 0);
    ASSERT_EQ(velmora().resume(d.get()), 0);
    const decode_result rest = decode_to_end(d.get(), fixed_length(STEP));
    EXPECT_EQ(fault, "");
    EXPECT_EQ(rest.fault, "");
    got.insert(got.end(), rest.pcm.begin(), rest.pcm.end());
    EXPECT_TRUE(got == reference_for(fixture_path("mono44.ogg")).pcm);
}

INSTANTIATE_TEST_SUITE_P(FileKinds, FileSourceTest, testing::ValuesIn(file_source_kinds), kind_name);

}  // namespace
