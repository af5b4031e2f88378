// The main window's layout fitted to its texts. The layout table (layout.h) gives every control's
// place at the sizes the cookbook system had; a larger font or screen density can need more room
// than that. fitLayout keeps the table's arrangement (rows, gaps, right edges that line up) and
// grows a control only where its content needs it, pushing the controls after it right or down,
// so that no caption is ever clipped. With texts that fit the table, the result is the table
// itself. Extra width given to the window goes to the path box, the prompt and the progress bar;
// the right-hand column and the buttons keep to the right edge.
#pragma once

#include <array>
#include <cstddef>
#include <functional>

#include "window/layout.h"

namespace zestrel {

struct Extent {
    int width = 0, height = 0;
};

struct Placement {
    int left = 0, top = 0, width = 0, height = 0;
    int right() const { return left + width; }
    int bottom() const { return top + height; }
};

// Each control's index in kControls, for the arrays below.
enum class ControlIndex : std::size_t { Label1, tDb, cmdOpen, pBar, LP, cmdUp, cmdExit, sBar };

// What each control's content needs, in the view's units, indexed as kControls (0 where a control
// needs nothing of that dimension).
using ContentNeeds = std::array<Extent, kControls.size()>;

struct FittedLayout {
    std::array<Placement, kControls.size()> controls;
    Extent smallest;  // the client area's smallest size: the table's, or more where a text needs it
    const Placement& operator[](ControlIndex i) const { return controls[static_cast<std::size_t>(i)]; }
};

// Twips to the view's units (pixels at the view's density).
using TwipsToUnits = std::function<int(int twips)>;

// The layout for a client area `width` units wide (taken as the smallest width when it is less).
// The height is always the smallest height: the window is widened, not heightened.
FittedLayout fitLayout(const ContentNeeds& needs, int width, const TwipsToUnits& toUnits);

}  // namespace zestrel
