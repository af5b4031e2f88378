// Natural order, as a person sorts "R-2" before "R-10": a key made of a text whose bytes compare
// (as unsigned bytes) as the texts compare naturally. Runs of digits compare by their number
// (leading zeros aside), other characters by their code with case folded as the engine folds it,
// and a run of digits comes before any other character at the same place; a text comes after
// every text it begins with.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zestrel::text {

// Appends the key of `text` to `key`; no text at all (a Null) comes before every text. Keys
// appended one after another compare as their texts do, the first text first.
void appendNaturalKey(std::string& key, std::optional<std::u16string_view> text);

}  // namespace zestrel::text
