#include "common/template_text.h"

namespace vorn {

std::string fill_template(std::string_view text, std::initializer_list<TemplateField> fields) {
    std::string out;
    out.reserve(text.size() + 32);
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t open = text.find('{', at);
        if (open == std::string_view::npos) break;
        const std::size_t close = text.find('}', open + 1);
        if (close == std::string_view::npos) break;
        const std::string_view name = text.substr(open + 1, close - open - 1);
        const TemplateField* field = nullptr;
        for (const TemplateField& f : fields) {
            if (f.name == name) field = &f;
        }
        out.append(text.substr(at, open - at));
        if (field != nullptr) {
            out.append(field->text);
        } else {
            out.append(text.substr(open, close + 1 - open));
        }
        at = close + 1;
    }
    out.append(text.substr(at));
    return out;
}

}  // namespace vorn
