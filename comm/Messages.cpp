#include "comm/Messages.h"

#include "localizing/lookup/ResourceStrings.h"

namespace comm {

std::string message(int number) {
    return loc::resString(number);
}

std::string messageWithDetail(int number, const std::string& detail) {
    return message(number) + " (" + detail + ")";
}

std::string messageWith(int number, const std::string& argument) {
    std::string text = message(number);
    if (const auto at = text.find("%1"); at != std::string::npos) {
        text.replace(at, 2, argument);
    }
    return text;
}

}  // namespace comm
