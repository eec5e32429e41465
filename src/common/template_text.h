// Fills a whole message template: every "{name}" in the template is replaced
// by the text given for that name. Messages are written whole, placeholders
// and all, where they are defined; only the failure path fills them.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace vorn {

struct TemplateField {
    std::string_view name;
    std::string_view text;
};

// A "{name}" with no field of that name, and any other brace, stays as it is.
std::string fill_template(std::string_view text, std::initializer_list<TemplateField> fields);

}  // namespace vorn
