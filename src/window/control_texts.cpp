#include "window/control_texts.h"

#include <string_view>

#include "text/utf8.h"

namespace zestrel {

const ControlTexts& controlTexts(const char* name) {
    for (const auto& texts : kControlTexts)
        if (std::string_view(texts.name) == name) return texts;
    static constexpr ControlTexts none{"", 0, "", ""};
    return none;
}

std::string withAccessKey(const std::string& caption, char accessKey) {
    std::string out;
    bool marked = accessKey == 0;
    for (const char c : caption) {
        if (c == '&') out += '&';
        if (!marked && c == accessKey) {
            out += '&';
            marked = true;
        }
        out += c;
    }
    return out;
}

std::string answerCaption(const std::u16string& answer) {
    const std::string caption = text::toUtf8(answer);
    return withAccessKey(caption, caption.empty() ? '\0' : caption.front());
}

}  // namespace zestrel
