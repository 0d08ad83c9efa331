#include "localizing/lookup/ResourceStrings.h"

#include <dlfcn.h>
#include <link.h>

#include <array>
#include <string>

namespace loc {

namespace {

using LoadResStringFn = std::int32_t (*)(void*, std::int32_t, std::int32_t, char*, std::int32_t);
using GetLanguagesFn = std::int32_t (*)(void*, std::uint16_t*, std::int32_t);

thread_local std::uint16_t t_language = 0;

std::string directoryOf(const char* path) {
    const std::string file = path != nullptr ? path : "";
    const auto slash = file.rfind('/');
    return slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
}

// The language library is loaded by name: first beside this deliverable, then on the
// library search path.
struct LocalizingLibrary {
    LoadResStringFn loadResString = nullptr;
    GetLanguagesFn getLanguages = nullptr;

    LocalizingLibrary() {
        Dl_info self{};
        void* handle = nullptr;
        if (dladdr(reinterpret_cast<void*>(&directoryOf), &self) != 0) {
            const std::string beside = directoryOf(self.dli_fname) + "libLocalizing.so";
            handle = dlopen(beside.c_str(), RTLD_NOW);
        }
        if (handle == nullptr) {
            handle = dlopen("libLocalizing.so", RTLD_NOW);
        }
        if (handle == nullptr) {
            return;
        }
        loadResString = reinterpret_cast<LoadResStringFn>(dlsym(handle, "LoadResString"));
        getLanguages = reinterpret_cast<GetLanguagesFn>(dlsym(handle, "GetLanguages"));
    }
};

const LocalizingLibrary& localizing() {
    static const LocalizingLibrary library;
    return library;
}

// The handle of the object this copy of the lookup is linked into; null for the main program.
void* ownModule() {
    static void* const module = []() -> void* {
        Dl_info info{};
        link_map* map = nullptr;
        if (dladdr1(reinterpret_cast<void*>(&ownModule), &info, reinterpret_cast<void**>(&map),
                    RTLD_DL_LINKMAP) == 0 ||
            map == nullptr || map->l_name == nullptr || map->l_name[0] == '\0') {
            return nullptr;
        }
        return dlopen(map->l_name, RTLD_LAZY | RTLD_NOLOAD);
    }();
    return module;
}

}  // namespace

std::string resString(int id, std::uint16_t language) {
    const auto& library = localizing();
    if (library.loadResString == nullptr) {
        return {};
    }
    std::array<char, kMaxStringBytes> buffer{};
    const std::int32_t length =
        library.loadResString(ownModule(), id, language, buffer.data(), kMaxStringBytes);
    return std::string(buffer.data(), length > 0 ? static_cast<std::size_t>(length) : 0);
}

std::string resString(int id) {
    return resString(id, t_language);
}

std::string languageName(std::uint16_t language) {
    return resString(10, language);
}

int availableLanguages(std::uint16_t* languages, int maxIndex) {
    const auto& library = localizing();
    if (library.getLanguages == nullptr) {
        return 0;
    }
    return library.getLanguages(nullptr, languages, maxIndex);
}

std::uint16_t selectLanguage(std::uint16_t requested) {
    std::array<std::uint16_t, 101> codes{};
    const int count = availableLanguages(codes.data(), 100);
    std::uint16_t chosen = 0;
    for (int i = 0; i < count; ++i) {
        if (codes[i] == requested) {
            chosen = requested;
            break;
        }
    }
    if (chosen == 0) {
        for (int i = 0; i < count; ++i) {
            if ((codes[i] & 0x03FF) == (requested & 0x03FF)) {
                chosen = requested & 0x03FF;
                break;
            }
        }
    }
    t_language = chosen;
    return chosen;
}

std::uint16_t currentLanguage() {
    return t_language;
}

}  // namespace loc
