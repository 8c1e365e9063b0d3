#pragma once
// dump_json.h: the JSON that the reader-side dump programs print for the independent-reader scripts.

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace mftest {

// UTF-8 text as a JSON string.
inline std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// The members of one JSON object in the order added; each value is JSON already.
class JsonObject {
public:
    JsonObject& Add(std::string_view key, const std::string& value) {
        _text += (_text.empty() ? "{" : ", ") + JsonString(key) + ": " + value;
        return *this;
    }
    std::string Text() const { return _text.empty() ? "{}" : _text + "}"; }

private:
    std::string _text;
};

// Values that are JSON already, as one array.
inline std::string JsonArray(const std::vector<std::string>& items, std::string_view separator = ", ") {
    std::string out = "[";
    for (std::size_t i = 0; i < items.size(); ++i) (out += i ? separator : "") += items[i];
    return out + "]";
}

}  // namespace mftest
