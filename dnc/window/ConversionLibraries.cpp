#include "dnc/window/ConversionLibraries.h"

#include <dlfcn.h>

#include <system_error>

namespace dnc {

namespace {

std::string lastLoaderError() {
    const char* text = ::dlerror();
    return text != nullptr ? text : "unknown loader error";
}

}  // namespace

std::filesystem::path programDirectory() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : program.parent_path();
}

LibraryLocation defaultLibraryLocation() {
    LibraryLocation location;
#if defined(_WIN32)
    location.standardName = "Brisel.dll";
    location.userName = "Lentra.dll";
#else
    location.standardName = "libBrisel.so";
    location.userName = "libLentra.so";
#endif
    const std::filesystem::path beside = programDirectory();
    if (!beside.empty()) {
        location.firstDirectories.push_back(beside);
    }
    return location;
}

ConversionLibraries::ConversionLibraries(LibraryLocation location)
    : location_(std::move(location)) {}

ConversionLibraries::~ConversionLibraries() {
    for (Loaded* loaded : {&standard_, &user_}) {
        if (loaded->handle != nullptr) {
            ::dlclose(loaded->handle);
        }
    }
}

ConvertFunction ConversionLibraries::entry(ConversionLibrary library, std::string& problem) {
    if (library == ConversionLibrary::Standard) {
        return load(location_.standardName, standard_, problem);
    }
    return load(location_.userName, user_, problem);
}

ConvertFunction ConversionLibraries::load(const std::string& name, Loaded& loaded,
                                          std::string& problem) {
    if (loaded.convert != nullptr) {
        return loaded.convert;
    }
    std::string path = name;
    for (const std::filesystem::path& directory : location_.firstDirectories) {
        std::error_code error;
        if (std::filesystem::exists(directory / name, error)) {
            path = (directory / name).string();
            break;
        }
    }
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        problem = lastLoaderError();
        return nullptr;
    }
    ::dlerror();
    void* symbol = ::dlsym(handle, "Convert");
    if (symbol == nullptr) {
        problem = lastLoaderError();
        ::dlclose(handle);
        return nullptr;
    }
    loaded.handle = handle;
    loaded.convert = reinterpret_cast<ConvertFunction>(symbol);
    return loaded.convert;
}

}  // namespace dnc
