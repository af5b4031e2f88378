#include "window/fitted_layout.h"

#include <algorithm>
#include <initializer_list>

namespace zestrel {

namespace {

using enum ControlIndex;

std::size_t at(ControlIndex i) { return static_cast<std::size_t>(i); }

// The table's place of a control, in the view's units.
Placement tablePlace(ControlIndex i, const TwipsToUnits& toUnits) {
    const ControlLayout& c = kControls[at(i)];
    return {toUnits(c.left), toUnits(c.top), toUnits(c.width), toUnits(c.height)};
}

int grownBy(int have, int need) { return std::max(0, need - have); }

// The rows of the form, top to bottom: each row moves down by what the rows above it grew.
// The least room left between two rows when a row above grows.
constexpr int kSmallestGapTwips = 30;

constexpr std::initializer_list<ControlIndex> kRows[] = {{Label1}, {tDb, cmdOpen}, {pBar, LP}, {cmdUp, cmdExit}, {sBar}};

}  // namespace

FittedLayout fitLayout(const ContentNeeds& needs, int width, const TwipsToUnits& toUnits) {
    FittedLayout out;
    for (std::size_t i = 0; i < kControls.size(); ++i) out.controls[i] = tablePlace(static_cast<ControlIndex>(i), toUnits);
    auto& place = out.controls;
    const auto need = [&needs](ControlIndex i) { return needs[at(i)]; };
    const int tableWidth = toUnits(kClientWidthTwips);

    // Widths. The right-hand column (Browse, the percentage) and the two buttons, which are as
    // wide as each other, grow by what the widest text among them needs.
    const int rightGrowth = std::max(grownBy(place[at(cmdOpen)].width, need(cmdOpen).width),
                                     grownBy(place[at(LP)].width, need(LP).width));
    const int buttonGrowth = std::max(grownBy(place[at(cmdUp)].width, need(cmdUp).width),
                                      grownBy(place[at(cmdExit)].width, need(cmdExit).width));
    const int leftNeed = std::max({grownBy(place[at(Label1)].width, need(Label1).width),
                                   grownBy(place[at(tDb)].width, need(tDb).width),
                                   grownBy(place[at(pBar)].width, need(pBar).width)});
    // The buttons may take the room left of Upgrade, down to the path box's left edge.
    const int buttonsRoom = place[at(cmdUp)].left - place[at(tDb)].left;
    const int smallestWidth = std::max({tableWidth + leftNeed + rightGrowth, tableWidth + 2 * buttonGrowth - buttonsRoom,
                                        need(sBar).width, tableWidth});
    const int extra = std::max(width, smallestWidth) - tableWidth;
    const int leftGrowth = extra - rightGrowth;
    for (const ControlIndex i : {Label1, tDb, pBar}) place[at(i)].width += leftGrowth;
    for (const ControlIndex i : {cmdOpen, LP}) {
        place[at(i)].left += leftGrowth;
        place[at(i)].width += rightGrowth;
    }
    place[at(cmdExit)].left += extra - buttonGrowth;
    place[at(cmdUp)].left += extra - 2 * buttonGrowth;
    for (const ControlIndex i : {cmdUp, cmdExit}) place[at(i)].width += buttonGrowth;
    place[at(sBar)].width = tableWidth + extra;

    // Heights, row by row. A row that grows takes the gap below it first, down to the smallest
    // gap, and pushes the rows below it down by the rest.
    const int smallestGap = toUnits(kSmallestGapTwips);
    int pushedDown = 0;
    for (std::size_t r = 0; r < std::size(kRows); ++r) {
        int tableBottom = 0, bottom = 0;
        for (const ControlIndex i : kRows[r]) {
            Placement& p = place[at(i)];
            tableBottom = std::max(tableBottom, p.bottom());
            p.top += pushedDown;
            p.height = std::max(p.height, need(i).height);
            bottom = std::max(bottom, p.bottom() - pushedDown);
        }
        const int gapBelow = r + 1 < std::size(kRows) ? place[at(*kRows[r + 1].begin())].top - tableBottom : 0;
        pushedDown += grownBy(tableBottom + std::max(0, gapBelow - smallestGap), bottom);
    }
    out.smallest = {smallestWidth, place[at(sBar)].bottom()};
    return out;
}

}  // namespace zestrel
