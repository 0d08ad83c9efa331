#include "localizing/ModuleTable.h"

#include <dlfcn.h>
#include <link.h>

#include <cstddef>

#include "localizing/StringTableFormat.h"

namespace loc {

namespace {

// The link-map entry of a loaded object; the main program's when module is null.
const link_map* linkMapOf(void* module) {
    void* handle = module;
    void* self = nullptr;
    if (handle == nullptr) {
        self = dlopen(nullptr, RTLD_LAZY);
        handle = self;
    }
    link_map* map = nullptr;
    if (handle == nullptr || dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0) {
        map = nullptr;
    }
    if (self != nullptr) {
        dlclose(self);
    }
    return map;
}

// dlsym searches an object's dependencies too (and, for the main program, every global
// object): keep a symbol only when it lies in the object asked about.
const void* ownSymbol(void* module, const link_map* owner, const char* name) {
    void* scope = module != nullptr ? module : RTLD_DEFAULT;
    void* symbol = dlsym(scope, name);
    if (symbol == nullptr) {
        return nullptr;
    }
    Dl_info info{};
    link_map* found = nullptr;
    if (dladdr1(symbol, &info, reinterpret_cast<void**>(&found), RTLD_DL_LINKMAP) == 0 ||
        found != owner) {
        return nullptr;
    }
    return symbol;
}

}  // namespace

std::span<const std::uint8_t> moduleStringTable(void* module) {
    const link_map* owner = linkMapOf(module);
    if (owner == nullptr) {
        return {};
    }
    const auto function =
        reinterpret_cast<TableFunction>(const_cast<void*>(ownSymbol(module, owner, kTableSymbol)));
    if (function == nullptr) {
        return {};
    }
    std::uint32_t size = 0;
    const std::uint8_t* table = function(&size);
    if (table == nullptr) {
        return {};
    }
    return {table, size};
}

}  // namespace loc
