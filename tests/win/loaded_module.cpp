#include "loaded_module.h"

namespace {

// One export by name into its slot; a missing name is recorded.
template <typename Function>
void resolve(HMODULE module, const char *name, Function *slot, std::vector<std::string> *missing) {
    FARPROC found = GetProcAddress(module, name);
    if (found == nullptr) missing->push_back(name);
    // FARPROC to the export's real type: how every Windows host calls it.
    *slot = reinterpret_cast<Function>(reinterpret_cast<void *>(found));
}

}  // namespace

const std::vector<std::string> velmora_export_names = {
    "qdx_ogg_create",         "qdx_ogg_free",           "qdx_ogg_input_memory",
    "qdx_ogg_input_memory2",  "qdx_ogg_input_file_open", "qdx_ogg_input_file_open2",
    "qdx_ogg_input_file_map", "qdx_ogg_input_file_map2", "qdx_ogg_process_frame",
    "qdx_ogg_replay",         "qdx_ogg_suspend",        "qdx_ogg_resume",
    "qdx_ogg_eof",            "qdx_ogg_pcm_format",     "qdx_ogg_pcm_size",
    "qdx_ogg_velm_ver"};

loaded_module::loaded_module() {
    module_ = LoadLibraryA("Velmora.ovl");
    if (module_ == nullptr) {
        load_error_ = GetLastError();
        unresolved_ = velmora_export_names;
        return;
    }
    resolve(module_, "qdx_ogg_create", &api_.create, &unresolved_);
    resolve(module_, "qdx_ogg_free", &api_.free, &unresolved_);
    resolve(module_, "qdx_ogg_input_memory", &api_.input_memory, &unresolved_);
    resolve(module_, "qdx_ogg_input_memory2", &api_.input_memory2, &unresolved_);
    resolve(module_, "qdx_ogg_input_file_open", &api_.input_file_open, &unresolved_);
    resolve(module_, "qdx_ogg_input_file_open2", &api_.input_file_open2, &unresolved_);
    resolve(module_, "qdx_ogg_input_file_map", &api_.input_file_map, &unresolved_);
    resolve(module_, "qdx_ogg_input_file_map2", &api_.input_file_map2, &unresolved_);
    resolve(module_, "qdx_ogg_process_frame", &api_.process_frame, &unresolved_);
    resolve(module_, "qdx_ogg_replay", &api_.replay, &unresolved_);
    resolve(module_, "qdx_ogg_suspend", &api_.suspend, &unresolved_);
    resolve(module_, "qdx_ogg_resume", &api_.resume, &unresolved_);
    resolve(module_, "qdx_ogg_eof", &api_.eof, &unresolved_);
    resolve(module_, "qdx_ogg_pcm_format", &api_.pcm_format, &unresolved_);
    resolve(module_, "qdx_ogg_pcm_size", &api_.pcm_size, &unresolved_);
    resolve(module_, "qdx_ogg_velm_ver", &api_.velm_ver, &unresolved_);
}

loaded_module::~loaded_module() {
    if (module_ != nullptr) FreeLibrary(module_);
}

const loaded_module &velmora_module() {
    static const loaded_module module;
    return module;
}

const velmora_api &velmora() { return velmora_module().api(); }

export_directory read_export_directory(HMODULE module) {
    const auto *base = reinterpret_cast<const BYTE *>(module);
    const auto *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
    const auto *nt = reinterpret_cast<const IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY &entry = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    export_directory directory;
    if (entry.VirtualAddress == 0) return directory;
    const auto *exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY *>(base + entry.VirtualAddress);
    const auto *name_offsets = reinterpret_cast<const DWORD *>(base + exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
        directory.names.emplace_back(reinterpret_cast<const char *>(base + name_offsets[i]));
    }
    directory.functions = exports->NumberOfFunctions;
    return directory;
}
