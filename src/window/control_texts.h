// What the window's controls say beyond their captions: the access key of each button (the
// letter underlined, pressed with Alt), and the names and descriptions a screen reader reads.
// Both views take them from here.
#pragma once

#include <string>

namespace zestrel {

struct ControlTexts {
    const char* name;           // the control, as in kControls
    char accessKey;             // the caption's letter that is its access key, or 0
    const char* accessibleName;  // empty: the caption names the control (or, for the path box, the prompt)
    const char* description;
};

inline constexpr ControlTexts kControlTexts[] = {
    {"Label1", 0, "", ""},
    {"tDb", 0, "", "The cookbook file to upgrade. Type or paste its path, or drop the file on the window."},
    {"cmdOpen", 'B', "", "Choose the cookbook to upgrade."},
    {"pBar", 0, "Upgrade progress", "How much of the cookbook has been copied."},
    {"LP", 0, "Percent copied", "How much of the cookbook has been copied, in percent."},
    {"cmdUp", 'U', "", "Upgrade the chosen cookbook, keeping a backup of the original."},
    {"cmdExit", 'x', "", "Close the program."},
    {"sBar", 0, "Status", "What the program is doing, and what to do next."},
};

const ControlTexts& controlTexts(const char* name);

// The caption with its access key marked as both toolkits mark it: "&" before the key's first
// occurrence, any "&" of the caption itself doubled ("Browse", 'B' gives "&Browse").
std::string withAccessKey(const std::string& caption, char accessKey);

// An answer of a question box as its button's caption, in UTF-8, its first letter the access key
// (the answers of one question start with different letters).
std::string answerCaption(const std::u16string& answer);

}  // namespace zestrel
