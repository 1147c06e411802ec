// Velmora.ovl as a Windows host uses it: loaded by its module name with
// LoadLibraryA and every export resolved by name with GetProcAddress. The
// tests call the library only through this table.
#ifndef VELMORA_TEST_WIN_LOADED_MODULE_H
#define VELMORA_TEST_WIN_LOADED_MODULE_H

#include <windows.h>

#include <string>
#include <vector>

#include "velmora.h"

struct velmora_api {
    decltype(&qdx_ogg_create) create;
    decltype(&qdx_ogg_free) free;
    decltype(&qdx_ogg_input_memory) input_memory;
    decltype(&qdx_ogg_input_memory2) input_memory2;
    decltype(&qdx_ogg_input_file_open) input_file_open;
    decltype(&qdx_ogg_input_file_open2) input_file_open2;
    decltype(&qdx_ogg_input_file_map) input_file_map;
    decltype(&qdx_ogg_input_file_map2) input_file_map2;
    decltype(&qdx_ogg_process_frame) process_frame;
    decltype(&qdx_ogg_replay) replay;
    decltype(&qdx_ogg_suspend) suspend;
    decltype(&qdx_ogg_resume) resume;
    decltype(&qdx_ogg_eof) eof;
    decltype(&qdx_ogg_pcm_format) pcm_format;
    decltype(&qdx_ogg_pcm_size) pcm_size;
    decltype(&qdx_ogg_velm_ver) velm_ver;
};

// The 16 names velmora.h declares, in its order.
extern const std::vector<std::string> velmora_export_names;

class loaded_module {
public:
    loaded_module();  // LoadLibraryA("Velmora.ovl"), then every name
    ~loaded_module();
    loaded_module(const loaded_module &) = delete;
    loaded_module &operator=(const loaded_module &) = delete;

    // True when the module loaded and every export resolved.
    bool usable() const { return module_ != nullptr && unresolved_.empty(); }
    HMODULE handle() const { return module_; }
    const velmora_api &api() const { return api_; }
    const std::vector<std::string> &unresolved() const { return unresolved_; }
    DWORD load_error() const { return load_error_; }

private:
    HMODULE module_ = nullptr;
    DWORD load_error_ = 0;
    velmora_api api_{};
    std::vector<std::string> unresolved_;
};

// The module every test of a program shares, loaded on first use.
const loaded_module &velmora_module();
// Its export table; valid only when velmora_module().usable().
const velmora_api &velmora();

// A loaded module's export directory, read from its PE headers: the names,
// in the order the directory lists them, and how many functions it exports
// in all (by name or by ordinal alone).
struct export_directory {
    std::vector<std::string> names;
    DWORD functions = 0;
};
export_directory read_export_directory(HMODULE module);

#endif  // VELMORA_TEST_WIN_LOADED_MODULE_H
