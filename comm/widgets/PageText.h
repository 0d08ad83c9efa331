// The control's string `id` in the widget library's current language (for its own widgets).
#pragma once

#include <QString>

#include "localizing/lookup/ResourceStrings.h"

namespace comm::widgets {

inline QString pageText(int id) {
    return QString::fromStdString(loc::resString(id));
}

}  // namespace comm::widgets
