// The main window's layout in twips (15 to a pixel), as the cookbook system
// fixes it: the client area and every control's position, size and caption.
#pragma once

#include <array>

namespace zestrel {

inline constexpr int kTwipsPerPixel = 15;
inline constexpr int kClientWidthTwips = 5505;
inline constexpr int kClientHeightTwips = 2175;

struct ControlLayout {
    const char* name;
    const char* caption;
    int left, top, width, height;  // twips
    int tabIndex;
};

inline constexpr std::array<ControlLayout, 8> kControls{{
    {"Label1", "Please select a cookbook to upgrade:", 120, 150, 4395, 195, 3},
    {"tDb", "", 90, 420, 4455, 285, 1},
    {"cmdOpen", "Browse", 4620, 420, 825, 315, 0},
    {"pBar", "", 90, 900, 4425, 255, 2},
    {"LP", "", 4590, 900, 855, 225, 4},
    {"cmdUp", "Upgrade", 3210, 1380, 1065, 405, 5},
    {"cmdExit", "Exit", 4380, 1380, 1065, 405, 6},
    {"sBar", "", 0, 1890, 5505, 285, 7},
}};

inline constexpr const char* kWindowCaption = "Zestrel - Cookbook Upgrade Utility";

// At 96 dots per inch (Qt scales the whole window for other densities itself).
constexpr int pixels(int twips) { return twips / kTwipsPerPixel; }

}  // namespace zestrel
