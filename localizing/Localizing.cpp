#include "localizing/Localizing.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "localizing/ModuleTable.h"
#include "localizing/StringTableReader.h"
#include "localizing/Utf16Text.h"

extern "C" LOCALIZING_API int32_t LoadResString(void* module, int32_t id, int32_t language,
                                                char* buffer, int32_t bufferSize) {
    if (id < 0 || buffer == nullptr || bufferSize <= 0) {
        return 0;
    }
    const loc::StringTableReader table(loc::moduleStringTable(module));
    const auto chosen = table.resolveLanguage(static_cast<std::uint16_t>(language));
    if (!chosen) {
        return 0;
    }
    const auto text = table.find(static_cast<std::uint32_t>(id), *chosen);
    if (!text || text->empty()) {
        return 0;
    }
    const std::string utf8 = loc::utf16ToUtf8Nfc(*text);
    const std::size_t length = loc::utf8PrefixLength(utf8, static_cast<std::size_t>(bufferSize));
    std::memcpy(buffer, utf8.data(), length);
    return static_cast<int32_t>(length);
}

extern "C" LOCALIZING_API int32_t GetLanguages(void* module, uint16_t* languages,
                                               int32_t maxIndex) {
    if (languages == nullptr || maxIndex < 0) {
        return 0;
    }
    const loc::StringTableReader table(loc::moduleStringTable(module));
    int32_t stored = 0;
    for (std::uint16_t code : table.languagesWithBlock(1)) {
        if (stored > maxIndex) {
            break;
        }
        languages[stored++] = code;
    }
    return stored;
}
