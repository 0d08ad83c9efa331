#include "web/Html.h"

#include "dnc/history/HistoryCommands.h"

namespace web {

using dnc::history::utf8Sequence;

std::string cleanText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            out += byte < 0x20 || byte == 0x7F ? '?' : static_cast<char>(byte);
            ++i;
        } else if (const std::size_t n = utf8Sequence(text, i); n > 0) {
            out.append(text.substr(i, n));
            i += n;
        } else {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
            ++i;
        }
    }
    return out;
}

std::string escape(std::string_view text) {
    const std::string clean = cleanText(text);
    std::string out;
    out.reserve(clean.size() + clean.size() / 8);
    for (const char c : clean) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string percentEncoded(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
            (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' ||
            byte == '~') {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        }
    }
    return out;
}

std::string queryString(const std::vector<std::pair<std::string, std::string>>& pairs) {
    std::string out;
    for (const auto& [key, value] : pairs) {
        if (value.empty()) {
            continue;
        }
        out += out.empty() ? "?" : "&amp;";
        out += percentEncoded(key) + "=" + percentEncoded(value);
    }
    return out;
}

}  // namespace web
