// Velmora.ovl as a host sees it: loaded at run time, every export found by
// name, nothing else exported, and a stream decoded through the looked-up
// functions alone.
#include <dlfcn.h>
#include <elf.h>
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "core_helpers.h"

namespace {

const std::set<std::string> EXPORTS = {"qdx_ogg_create",
                                       "qdx_ogg_free",
                                       "qdx_ogg_process_frame",
                                       "qdx_ogg_replay",
                                       "qdx_ogg_eof",
                                       "qdx_ogg_pcm_format",
                                       "qdx_ogg_pcm_size",
                                       "qdx_ogg_velm_ver",
                                       "qdx_ogg_input_memory",
                                       "qdx_ogg_input_memory2",
                                       "qdx_ogg_input_file_open",
                                       "qdx_ogg_input_file_open2",
                                       "qdx_ogg_input_file_map",
                                       "qdx_ogg_input_file_map2",
                                       "qdx_ogg_suspend",
                                       "qdx_ogg_resume"};

// The names of the defined, non-local symbols in an ELF file's dynamic
// symbol table: what a loader lets other modules see.
template <typename Ehdr, typename Shdr, typename Sym, unsigned char (*binding)(unsigned char)>
std::set<std::string> dynamic_exports(const std::vector<std::uint8_t> &elf) {
    Ehdr header;
    std::memcpy(&header, elf.data(), sizeof header);
    auto section = [&](std::size_t index) {
        Shdr s;
        std::memcpy(&s, elf.data() + header.e_shoff + index * header.e_shentsize, sizeof s);
        return s;
    };
    std::set<std::string> names;
    for (std::size_t i = 0; i < header.e_shnum; ++i) {
        const Shdr symbols = section(i);
        if (symbols.sh_type != SHT_DYNSYM) continue;
        const Shdr strings = section(symbols.sh_link);
        for (std::size_t offset = 0; offset + sizeof(Sym) <= symbols.sh_size;
             offset += sizeof(Sym)) {
            Sym sym;
            std::memcpy(&sym, elf.data() + symbols.sh_offset + offset, sizeof sym);
            if (sym.st_shndx == SHN_UNDEF || binding(sym.st_info) == STB_LOCAL) continue;
            names.insert(
                reinterpret_cast<const char *>(elf.data() + strings.sh_offset + sym.st_name));
        }
    }
    return names;
}

unsigned char binding32(unsigned char info) { return ELF32_ST_BIND(info); }
unsigned char binding64(unsigned char info) { return ELF64_ST_BIND(info); }

std::set<std::string> module_exports(const std::string &path) {
    const std::vector<std::uint8_t> elf = read_bytes(path);
    if (elf.size() < EI_NIDENT || std::memcmp(elf.data(), ELFMAG, SELFMAG) != 0) return {};
    if (elf[EI_CLASS] == ELFCLASS32) {
        return dynamic_exports<Elf32_Ehdr, Elf32_Shdr, Elf32_Sym, binding32>(elf);
    }
    return dynamic_exports<Elf64_Ehdr, Elf64_Shdr, Elf64_Sym, binding64>(elf);
}

template <typename Function>
Function look_up(void *module, const char *name) {
    return reinterpret_cast<Function>(dlsym(module, name));
}

class LoadedModule : public testing::Test {
protected:
    void SetUp() override {
        module = dlopen(VELMORA_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(module, nullptr) << dlerror();
    }
    void TearDown() override {
        if (module != nullptr) dlclose(module);
    }
    void *module = nullptr;
};

TEST_F(LoadedModule, EveryExportResolves) {
    for (const std::string &name : EXPORTS) EXPECT_NE(dlsym(module, name.c_str()), nullptr) << name;
}

TEST(ModuleFile, ExportsNothingElse) {
    const std::set<std::string> exported = module_exports(VELMORA_MODULE_PATH);
    EXPECT_EQ(exported, EXPORTS);
}

TEST_F(LoadedModule, BannerIsExactlyTwentyOneBytes) {
    auto velm_ver = look_up<decltype(&qdx_ogg_velm_ver)>(module, "qdx_ogg_velm_ver");
    ASSERT_NE(velm_ver, nullptr);
    char buffer[64];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(velm_ver(buffer), 0);
    EXPECT_EQ(std::memcmp(buffer, "ver.1.10(2008/10/24)", 21), 0);  // with its NUL
    for (std::size_t i = 21; i < sizeof buffer; ++i) ASSERT_EQ(buffer[i], '#') << "byte " << i;
    EXPECT_EQ(velm_ver(nullptr), 0);
}

TEST_F(LoadedModule, PcmSizeIsZero) {
    auto pcm_size = look_up<decltype(&qdx_ogg_pcm_size)>(module, "qdx_ogg_pcm_size");
    ASSERT_NE(pcm_size, nullptr);
    EXPECT_EQ(pcm_size(nullptr), 0);
}

// The host loop of the public header, through looked-up functions only.
TEST_F(LoadedModule, DecodesLikeOvRead) {
    auto create = look_up<decltype(&qdx_ogg_create)>(module, "qdx_ogg_create");
    auto input_memory = look_up<decltype(&qdx_ogg_input_memory)>(module, "qdx_ogg_input_memory");
    auto pcm_format = look_up<decltype(&qdx_ogg_pcm_format)>(module, "qdx_ogg_pcm_format");
    auto process_frame = look_up<decltype(&qdx_ogg_process_frame)>(module, "qdx_ogg_process_frame");
    auto eof = look_up<decltype(&qdx_ogg_eof)>(module, "qdx_ogg_eof");
    auto free_decoder = look_up<decltype(&qdx_ogg_free)>(module, "qdx_ogg_free");
    ASSERT_TRUE(create && input_memory && pcm_format && process_frame && eof && free_decoder);

    const std::string path = fixture_path("three.ogg");
    const std::vector<std::uint8_t> ogg = read_bytes(path);
    qdx_ogg_decoder *d = create();
    ASSERT_NE(d, nullptr);
    ASSERT_EQ(input_memory(d, ogg.data(), size32(ogg), 0), 0);
    EXPECT_EQ(pcm_format(d)->nChannels, 3);
    EXPECT_EQ(pcm_format(d)->nSamplesPerSec, 22050u);

    std::vector<std::uint8_t> pcm;
    std::vector<std::uint8_t> buffer(4096 + QDX_OGG_MAX_OVERRUN);
    for (int calls = 0; !eof(d) && calls < 100000; ++calls) {
        const std::int32_t got = process_frame(d, buffer.data(), 4096);
        ASSERT_GE(got, 0);
        pcm.insert(pcm.end(), buffer.begin(), buffer.begin() + got);
    }
    EXPECT_EQ(eof(d), 1);
    EXPECT_EQ(free_decoder(d), 0);
    EXPECT_TRUE(pcm == reference_for(path).pcm);
}

}  // namespace
