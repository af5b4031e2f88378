#include "platform/form_view.h"

#include <iostream>
#include <string>

namespace zestrel::platform {

namespace {

FormView* current = nullptr;

std::string narrow(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

}  // namespace

void setMessageView(FormView* view) { current = view; }

FormView* messageView() { return current; }

void MsgBox(const std::u16string& text, MsgIcon icon, const std::u16string& title) {
    if (current) return current->messageBox(text, icon, title);
    std::cerr << narrow(title.empty() ? std::u16string(kApplicationTitle) : title) << ": " << narrow(text) << '\n';
}

std::u16string failureMessage(long number, const std::u16string& description) {
    const std::string digits = std::to_string(number);
    return std::u16string(digits.begin(), digits.end()) + u" - " + description;
}

}  // namespace zestrel::platform
