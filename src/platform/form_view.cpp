#include "platform/form_view.h"

#include <string>

#include "platform/console.h"
#include "text/digits.h"

namespace zestrel::platform {

namespace {

FormView* current = nullptr;

}  // namespace

void setMessageView(FormView* view) { current = view; }

FormView* messageView() { return current; }

void MsgBox(const std::u16string& text, MsgIcon icon, const std::u16string& title) {
    if (current) return current->messageBox(text, icon, title);
    writeErrorLine((title.empty() ? std::u16string(kApplicationTitle) : title) + u": " + text);
}

std::u16string failureMessage(long number, const std::u16string& description) {
    const text::Digits digits(number);
    return std::u16string(digits.begin(), digits.end()) + u" - " + description;
}

}  // namespace zestrel::platform
