// A whole number as text: its decimal digits, with "-" before a negative one. ASCII in every
// locale, as the lists, lines and stored texts the program writes want them; written into a small
// buffer of its own, so that a number on every row costs no allocation.
#pragma once

#include <charconv>
#include <concepts>
#include <string>
#include <string_view>

namespace zestrel::text {

class Digits {
public:
    template <std::integral T>
    explicit Digits(T value)
        : size_(static_cast<std::size_t>(std::to_chars(text_, text_ + sizeof text_, value).ptr - text_)) {}

    std::string_view view() const { return {text_, size_}; }
    const char* begin() const { return text_; }
    const char* end() const { return text_ + size_; }
    std::size_t size() const { return size_; }

private:
    char text_[24];  // the longest 64-bit number with its sign takes 20
    std::size_t size_;
};

// The digits of `value` appended to `out`.
template <std::integral T>
void appendDigits(std::string& out, T value) {
    out += Digits(value).view();
}

}  // namespace zestrel::text
