#include "comm/Messages.h"

#include "localizing/lookup/ResourceStrings.h"

namespace comm {

std::string message(int number) {
    return loc::resString(number);
}

std::string messageWithDetail(int number, const std::string& detail) {
    return message(number) + " (" + detail + ")";
}

}  // namespace comm
