#include "formats/quoted_text.h"

#include <cstdint>

namespace vorn {

namespace {

void append_code_escape(std::string& out, std::uint32_t code) {
    static constexpr char kHex[] = "0123456789abcdef";
    out.append("\\u{");
    bool started = false;
    for (int shift = 20; shift >= 0; shift -= 4) {
        const std::uint32_t digit = (code >> shift) & 0xF;
        if (digit != 0 || started || shift == 0) {
            out.push_back(kHex[digit]);
            started = true;
        }
    }
    out.push_back('}');
}

}  // namespace

std::string quoted_text(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out.push_back('"');
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        switch (c) {
            case '"': out.append("\\\""); continue;
            case '\\': out.append("\\\\"); continue;
            case '\n': out.append("\\n"); continue;
            case '\r': out.append("\\r"); continue;
            case '\t': out.append("\\t"); continue;
            case '\0': out.append("\\0"); continue;
            default: break;
        }
        if (c < 0x20 || c == 0x7F) {
            append_code_escape(out, c);
        } else if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            // U+0080..U+009F, the C1 control characters.
            append_code_escape(out, static_cast<unsigned char>(text[i + 1]));
            ++i;
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    out.push_back('"');
    return out;
}

}  // namespace vorn
