#include "formats/json_text.h"

namespace vorn {

void append_json_string(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    out.push_back('"');
    std::size_t run = 0;  // start of the bytes not yet copied
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        char escape = 0;
        switch (c) {
            case '"': escape = '"'; break;
            case '\\': escape = '\\'; break;
            case '\n': escape = 'n'; break;
            case '\r': escape = 'r'; break;
            case '\t': escape = 't'; break;
            case '\b': escape = 'b'; break;
            case '\f': escape = 'f'; break;
            default:
                if (c >= 0x20) continue;
                escape = 'u';
        }
        out.append(text, run, i - run);
        run = i + 1;
        out.push_back('\\');
        out.push_back(escape);
        if (escape == 'u') {
            out.append("00");
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 0xF]);
        }
    }
    out.append(text, run, text.size() - run);
    out.push_back('"');
}

std::string json_string_text(std::string_view text) {
    std::string out;
    append_json_string(out, text);
    return out;
}

}  // namespace vorn
