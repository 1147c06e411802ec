// The Win32 platform backend on its own: handle values, the arguments that
// reach Windows (share mode, access, code page, unsigned offsets), reads at
// the end of a file, mappings, size queries, and the fault seam.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "support/fault_plan.h"
#include "win_files.h"

namespace {

constexpr std::uint32_t FILE_BYTES = 5000;
constexpr std::uint32_t FAILED = 0xFFFFFFFFu;

std::vector<std::uint8_t> numbered_bytes(std::size_t count) {
    std::vector<std::uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    return bytes;
}

std::u16string as_plat(const std::wstring &wide) { return std::u16string(wide.begin(), wide.end()); }

class Win32Backend : public testing::Test {
protected:
    void SetUp() override {
        write_bytes(scratch.wide_file(L"data.bin"), content);
        write_bytes(scratch.wide_file(L"empty.bin"), {});
    }
    std::u16string path(const wchar_t *name) const { return as_plat(scratch.wide_file(name)); }
    plat_handle open_read(const wchar_t *name) const {
        return plat_create_file(path(name).c_str(), PLAT_GENERIC_READ, PLAT_FILE_SHARE_READ, PLAT_OPEN_EXISTING,
                                PLAT_FILE_FLAG_RANDOM_ACCESS | PLAT_FILE_ATTRIBUTE_NORMAL);
    }
    plat_handle open_for_mapping(const wchar_t *name) const {
        return plat_create_file_for_mapping(path(name).c_str(), PLAT_GENERIC_READ, PLAT_FILE_SHARE_READ,
                                            PLAT_OPEN_EXISTING, PLAT_FILE_ATTRIBUTE_NORMAL);
    }

    scratch_dir scratch;
    const std::vector<std::uint8_t> content = numbered_bytes(FILE_BYTES);
};

TEST(Win32Handles, FailedOpenIsInvalidHandleValue) {
    EXPECT_EQ(reinterpret_cast<plat_handle>(INVALID_HANDLE_VALUE), PLAT_INVALID_HANDLE);
}

TEST_F(Win32Backend, MissingFileAndFolderDoNotOpen) {
    EXPECT_EQ(open_read(L"absent.bin"), PLAT_INVALID_HANDLE);
    EXPECT_EQ(open_for_mapping(L"absent.bin"), PLAT_INVALID_HANDLE);
    const std::u16string folder = path(L"");
    EXPECT_EQ(plat_create_file(folder.substr(0, folder.size() - 1).c_str(), PLAT_GENERIC_READ,
                               PLAT_FILE_SHARE_READ, PLAT_OPEN_EXISTING, PLAT_FILE_ATTRIBUTE_NORMAL),
              PLAT_INVALID_HANDLE);
}

// CreateFileW also opens devices and pipes, whose reads may block or never
// end: only disk files are kept. The pipe has a waiting instance for each
// open, so each open reaches it.
TEST_F(Win32Backend, DevicesAndPipesDoNotOpen) {
    const std::wstring pipe = L"\\\\.\\pipe\\velmora-backend-test";
    HANDLE instances[2];
    for (HANDLE &instance : instances) {
        instance = CreateNamedPipeW(pipe.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE, 2, 0, 0, 0, nullptr);
        ASSERT_NE(instance, INVALID_HANDLE_VALUE);
    }
    for (const std::wstring &name : {std::wstring(L"NUL"), std::wstring(L"CON"), std::wstring(L"COM1"), pipe}) {
        SCOPED_TRACE(std::string(name.begin(), name.end()));
        const std::u16string device = as_plat(name);
        EXPECT_EQ(plat_create_file(device.c_str(), PLAT_GENERIC_READ, PLAT_FILE_SHARE_READ, PLAT_OPEN_EXISTING,
                                   PLAT_FILE_FLAG_RANDOM_ACCESS | PLAT_FILE_ATTRIBUTE_NORMAL),
                  PLAT_INVALID_HANDLE);
        EXPECT_EQ(plat_create_file_for_mapping(device.c_str(), PLAT_GENERIC_READ, PLAT_FILE_SHARE_READ,
                                               PLAT_OPEN_EXISTING, PLAT_FILE_ATTRIBUTE_NORMAL),
                  PLAT_INVALID_HANDLE);
    }
    for (HANDLE instance : instances) CloseHandle(instance);
}

// Read access and read sharing reach CreateFileW: the handle cannot write,
// and nobody else can write the file while it is open.
TEST_F(Win32Backend, OpensForReadingSharingReadsOnly) {
    for (plat_handle file : {open_read(L"data.bin"), open_for_mapping(L"data.bin")}) {
        ASSERT_NE(file, PLAT_INVALID_HANDLE);
        ASSERT_NE(file, PLAT_NO_HANDLE);
        DWORD put = 0;
        EXPECT_FALSE(WriteFile(reinterpret_cast<HANDLE>(file), "x", 1, &put, nullptr));
        HANDLE writer = CreateFileW(scratch.wide_file(L"data.bin").c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
        HANDLE reader = CreateFileW(scratch.wide_file(L"data.bin").c_str(), GENERIC_READ,
                                    FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(reader, INVALID_HANDLE_VALUE) << "another reader is refused";
        CloseHandle(reader);
        plat_close_handle(file);
    }
}

TEST_F(Win32Backend, SeekThenReadStopsShortAtTheEnd) {
    const plat_handle file = open_read(L"data.bin");
    ASSERT_NE(file, PLAT_INVALID_HANDLE);
    EXPECT_TRUE(plat_set_file_pointer(file, 100, PLAT_FILE_BEGIN));
    std::vector<std::uint8_t> chunk(8192, 0xA5);
    ASSERT_EQ(plat_read_file(file, chunk.data(), 8192), FILE_BYTES - 100);
    EXPECT_TRUE(std::equal(content.begin() + 100, content.end(), chunk.begin()));
    EXPECT_EQ(chunk[FILE_BYTES - 100], 0xA5);
    EXPECT_EQ(plat_read_file(file, chunk.data(), 8192), 0u);
    plat_close_handle(file);
}

// The distance is unsigned and 64 bits wide: offsets past 2 GiB and past
// 4 GiB are positions, not negative or wrapped moves. Reading there finds the
// end of the file.
TEST_F(Win32Backend, OffsetsPastTwoAndFourGigabytesAreReached) {
    const plat_handle file = open_read(L"data.bin");
    ASSERT_NE(file, PLAT_INVALID_HANDLE);
    for (std::uint64_t offset : {0x90000000ull, 0x100000010ull}) {
        ASSERT_TRUE(plat_set_file_pointer(file, offset, PLAT_FILE_BEGIN));
        LARGE_INTEGER at{};
        ASSERT_TRUE(SetFilePointerEx(reinterpret_cast<HANDLE>(file), LARGE_INTEGER{}, &at, FILE_CURRENT));
        EXPECT_EQ(static_cast<std::uint64_t>(at.QuadPart), offset);
        std::uint8_t byte = 0;
        EXPECT_EQ(plat_read_file(file, &byte, 1), 0u);
    }
    plat_close_handle(file);
}

TEST_F(Win32Backend, AbsentAndFailedHandlesAreHarmless) {
    std::uint8_t byte = 0;
    for (plat_handle none : {PLAT_NO_HANDLE, PLAT_INVALID_HANDLE}) {
        EXPECT_EQ(plat_read_file(none, &byte, 1), 0u);
        EXPECT_FALSE(plat_set_file_pointer(none, 0, PLAT_FILE_BEGIN));
        EXPECT_EQ(plat_create_file_mapping(none, PLAT_PAGE_READONLY), PLAT_NO_HANDLE);
        EXPECT_EQ(plat_map_view(none, PLAT_FILE_MAP_READ), nullptr);
        EXPECT_EQ(plat_file_size(none), FAILED);
        plat_close_handle(none);
    }
    plat_unmap_view(nullptr);
    plat_local_free(nullptr);
}

TEST_F(Win32Backend, MapsTheWholeFileReadOnly) {
    const plat_handle file = open_for_mapping(L"data.bin");
    ASSERT_NE(file, PLAT_INVALID_HANDLE);
    EXPECT_EQ(plat_file_size(file), FILE_BYTES);
    const plat_handle mapping = plat_create_file_mapping(file, PLAT_PAGE_READONLY);
    ASSERT_NE(mapping, PLAT_NO_HANDLE);
    const std::uint8_t *view = plat_map_view(mapping, PLAT_FILE_MAP_READ);
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(std::equal(content.begin(), content.end(), view));
    MEMORY_BASIC_INFORMATION region;
    ASSERT_NE(VirtualQuery(view, &region, sizeof region), 0u);
    EXPECT_EQ(region.Protect, static_cast<DWORD>(PAGE_READONLY));
    plat_unmap_view(view);
    plat_close_handle(mapping);
    plat_close_handle(file);
}

// As on Windows CE: an empty file has no mapping, and that is 0, not
// INVALID_HANDLE_VALUE.
TEST_F(Win32Backend, EmptyFileHasNoMapping) {
    const plat_handle file = open_for_mapping(L"empty.bin");
    ASSERT_NE(file, PLAT_INVALID_HANDLE);
    EXPECT_EQ(plat_file_size(file), 0u);
    EXPECT_EQ(plat_create_file_mapping(file, PLAT_PAGE_READONLY), PLAT_NO_HANDLE);
    plat_close_handle(file);
}

TEST_F(Win32Backend, FindsTheSizeByPath) {
    std::uint32_t size = 0;
    EXPECT_TRUE(plat_find_file_size(path(L"data.bin").c_str(), &size));
    EXPECT_EQ(size, FILE_BYTES);
    EXPECT_TRUE(plat_find_file_size(path(L"empty.bin").c_str(), &size));
    EXPECT_EQ(size, 0u);
    EXPECT_FALSE(plat_find_file_size(path(L"absent.bin").c_str(), &size));
}

// The code page given is the one used: 0x80 is the euro sign in Windows-1252.
TEST(Win32Text, ConvertsInTheGivenCodePage) {
    const char *narrow = "caf\xE9 \x80";
    ASSERT_EQ(plat_multibyte_to_wide(1252, narrow, nullptr, 0), 7);
    plat_wchar wide[7];
    ASSERT_EQ(plat_multibyte_to_wide(1252, narrow, wide, 7), 7);
    EXPECT_EQ(std::u16string(wide, 6), u"caf\u00e9 \u20ac");
    EXPECT_EQ(wide[6], 0);
    EXPECT_EQ(plat_multibyte_to_wide(1252, narrow, wide, 6), 0) << "no room for the terminator";
    EXPECT_EQ(plat_multibyte_to_wide(PLAT_CP_ACP, "plain", nullptr, 0), 6);
}

TEST(Win32Heap, AllocatesFromTheLocalHeap) {
    void *block = plat_local_alloc(PLAT_LMEM_FIXED, 100);
    ASSERT_NE(block, nullptr);
    EXPECT_GE(LocalSize(block), 100u);
    plat_local_free(block);
}

// Every operation asks the seam first and fails as Windows would.
TEST_F(Win32Backend, FaultSeamFailsEachOperation) {
    const plat_handle file = open_for_mapping(L"data.bin");
    ASSERT_NE(file, PLAT_INVALID_HANDLE);
    const plat_handle mapping = plat_create_file_mapping(file, PLAT_PAGE_READONLY);
    ASSERT_NE(mapping, PLAT_NO_HANDLE);
    std::uint32_t size = 0;
    std::uint8_t chunk[64];
    {
        fault_plan plan;
        for (int op = 0; op < PLAT_OP_COUNT; ++op) plan.fail(static_cast<plat_op>(op));
        EXPECT_EQ(plat_local_alloc(PLAT_LMEM_FIXED, 16), nullptr);
        EXPECT_EQ(plat_multibyte_to_wide(PLAT_CP_ACP, "a", nullptr, 0), 0);
        EXPECT_EQ(open_read(L"data.bin"), PLAT_INVALID_HANDLE);
        EXPECT_EQ(open_for_mapping(L"data.bin"), PLAT_INVALID_HANDLE);
        EXPECT_FALSE(plat_set_file_pointer(file, 10, PLAT_FILE_BEGIN));
        EXPECT_EQ(plat_read_file(file, chunk, sizeof chunk), 0u);
        EXPECT_EQ(plat_create_file_mapping(file, PLAT_PAGE_READONLY), PLAT_NO_HANDLE);
        EXPECT_EQ(plat_map_view(mapping, PLAT_FILE_MAP_READ), nullptr);
        EXPECT_EQ(plat_file_size(file), FAILED);
        EXPECT_FALSE(plat_find_file_size(path(L"data.bin").c_str(), &size));
        for (int op = 0; op < PLAT_OP_COUNT; ++op) {
            // The thread's word is asked by the heap accounting, not here.
            if (op == PLAT_OP_THREAD_VALUE) continue;
            EXPECT_EQ(plan.calls(static_cast<plat_op>(op)), 1) << op;
        }
    }
    // Without the plan the same handles work again; nothing was consumed.
    EXPECT_EQ(plat_read_file(file, chunk, sizeof chunk), sizeof chunk);
    EXPECT_TRUE(std::equal(chunk, chunk + sizeof chunk, content.begin()));
    plat_close_handle(mapping);
    plat_close_handle(file);
}

}  // namespace
