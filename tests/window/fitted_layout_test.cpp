// The window's layout fitted to its texts: the table's own places while the texts fit them, and
// otherwise controls grown where a text needs it, the rest moved aside, nothing overlapping.
#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <string>

#include "window/control_texts.h"
#include "window/fitted_layout.h"

namespace zestrel {
namespace {

using enum ControlIndex;

int at96(int twips) { return twips / kTwipsPerPixel; }
int at192(int twips) { return twips * 192 / 1440; }

ContentNeeds with(std::initializer_list<std::pair<ControlIndex, Extent>> given) {
    ContentNeeds needs{};
    for (const auto& [i, e] : given) needs[static_cast<std::size_t>(i)] = e;
    return needs;
}

bool overlap(const Placement& a, const Placement& b) {
    return a.left < b.right() && b.left < a.right() && a.top < b.bottom() && b.top < a.bottom();
}

struct FitCase {
    const char* name;
    ContentNeeds needs;
    int width;  // the width asked for
    TwipsToUnits units;
};

class FittedLayoutTest : public ::testing::TestWithParam<FitCase> {};

// Whatever the needs: every control has what it needs, none overlaps another or leaves the client
// area, the right edges of Browse, the percentage and Exit stay in line, and the window is never
// smaller than the table's.
TEST_P(FittedLayoutTest, EveryControlHasWhatItNeedsAndNoneOverlaps) {
    const FitCase& c = GetParam();
    const FittedLayout fitted = fitLayout(c.needs, c.width, c.units);
    EXPECT_GE(fitted.smallest.width, c.units(kClientWidthTwips));
    EXPECT_GE(fitted.smallest.height, c.units(kClientHeightTwips));
    const int width = std::max(c.width, fitted.smallest.width);
    for (std::size_t i = 0; i < kControls.size(); ++i) {
        const Placement& p = fitted.controls[i];
        SCOPED_TRACE(kControls[i].name);
        EXPECT_GE(p.width, c.needs[i].width);
        EXPECT_GE(p.height, c.needs[i].height);
        EXPECT_GE(p.left, 0);
        EXPECT_LE(p.right(), width);
        EXPECT_LE(p.bottom(), fitted.smallest.height);
        for (std::size_t j = i + 1; j < kControls.size(); ++j)
            EXPECT_FALSE(overlap(p, fitted.controls[j])) << "overlaps " << kControls[j].name;
    }
    EXPECT_EQ(fitted[cmdOpen].right(), fitted[LP].right());
    EXPECT_EQ(fitted[cmdOpen].right(), fitted[cmdExit].right());
    EXPECT_EQ(fitted[sBar].width, width);
    EXPECT_EQ(fitted[sBar].bottom(), fitted.smallest.height);
    EXPECT_EQ(fitted[cmdUp].width, fitted[cmdExit].width);
    // The path box takes what the width gives beyond the smallest.
    const FittedLayout smallest = fitLayout(c.needs, 0, c.units);
    EXPECT_EQ(fitted[tDb].width - smallest[tDb].width, width - fitted.smallest.width);
}

const ContentNeeds kFits = with({{Label1, {200, 13}}, {cmdOpen, {50, 19}}, {LP, {30, 13}}, {cmdUp, {60, 20}}});

INSTANTIATE_TEST_SUITE_P(
    Needs, FittedLayoutTest,
    ::testing::Values(FitCase{"nothing", {}, 0, at96}, FitCase{"texts that fit", kFits, 0, at96},
                      FitCase{"widened", kFits, 900, at96},
                      FitCase{"a long prompt", with({{Label1, {500, 30}}}), 0, at96},
                      FitCase{"wide buttons", with({{cmdOpen, {140, 40}}, {cmdExit, {190, 44}}}), 0, at96},
                      FitCase{"very wide buttons", with({{cmdUp, {400, 44}}}), 0, at96},
                      FitCase{"a long status text", with({{sBar, {800, 40}}}), 0, at96},
                      FitCase{"everything at 24 points",
                              with({{Label1, {610, 44}}, {tDb, {0, 46}}, {cmdOpen, {120, 48}}, {LP, {90, 44}},
                                    {cmdUp, {150, 48}}, {cmdExit, {80, 48}}, {sBar, {950, 50}}}),
                              1000, at96},
                      FitCase{"texts that fit at 192 dpi", with({{Label1, {420, 28}}, {cmdOpen, {100, 36}}}), 0, at192},
                      FitCase{"widened at 192 dpi", with({{cmdExit, {200, 60}}}), 1500, at192}),
    [](const auto& param) {
        std::string name;
        for (const char c : std::string(param.param.name)) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });

// While every text fits the table, the window and every control are where the table puts them:
// the form its users know, and its smallest size.
TEST(FittedLayout, TextsThatFitKeepTheTable) {
    for (const TwipsToUnits& units : {TwipsToUnits(at96), TwipsToUnits(at192)}) {
        const FittedLayout fitted = fitLayout(kFits, 0, units);
        EXPECT_EQ(fitted.smallest.width, units(kClientWidthTwips));
        EXPECT_EQ(fitted.smallest.height, units(kClientHeightTwips));
        for (std::size_t i = 0; i < kControls.size(); ++i) {
            const ControlLayout& c = kControls[i];
            const Placement& p = fitted.controls[i];
            EXPECT_EQ((std::array{p.left, p.top, p.width, p.height}),
                      (std::array{units(c.left), units(c.top), units(c.width), units(c.height)}))
                << c.name;
        }
    }
    EXPECT_EQ(fitLayout(kFits, 0, at96).smallest.width, 367);
    EXPECT_EQ(fitLayout(kFits, 0, at96).smallest.height, 145);
}

// A prompt a pixel taller than the table's row takes the gap under it: the form keeps its size.
TEST(FittedLayout, ARowTakesTheGapBelowItBeforeItPushes) {
    const FittedLayout slightly = fitLayout(with({{Label1, {200, 15}}}), 0, at96);
    EXPECT_EQ(slightly.smallest.height, 145);
    EXPECT_EQ(slightly[tDb].top, 28);
    const FittedLayout much = fitLayout(with({{Label1, {200, 33}}}), 0, at96);
    EXPECT_EQ(much[tDb].top - much[Label1].bottom(), 2);
    EXPECT_EQ(much.smallest.height, 145 + (much[tDb].top - 28));
}

struct AccessKeyCase {
    const char* caption;
    char key;
    const char* marked;
};

class AccessKeys : public ::testing::TestWithParam<AccessKeyCase> {};

TEST_P(AccessKeys, MarkTheKeysFirstOccurrenceAndDoubleAnAmpersand) {
    EXPECT_EQ(withAccessKey(GetParam().caption, GetParam().key), GetParam().marked);
}

INSTANTIATE_TEST_SUITE_P(Captions, AccessKeys,
                         ::testing::Values(AccessKeyCase{"Browse", 'B', "&Browse"},
                                           AccessKeyCase{"Upgrade", 'U', "&Upgrade"},
                                           AccessKeyCase{"Exit", 'x', "E&xit"},
                                           AccessKeyCase{"Salt & Pepper", 'P', "Salt && &Pepper"},
                                           AccessKeyCase{"Exit", 0, "Exit"},
                                           AccessKeyCase{"Exit", 'q', "Exit"}));

// Browse, Upgrade and Exit each have a key, no two the same letter, and it is in their caption.
TEST(AccessKeys, TheButtonsHaveDistinctKeysInTheirCaptions) {
    std::string keys;
    for (const char* button : {"cmdOpen", "cmdUp", "cmdExit"}) {
        const char key = controlTexts(button).accessKey;
        ASSERT_NE(key, 0) << button;
        for (const ControlLayout& c : kControls)
            if (std::string(c.name) == button) {
                EXPECT_NE(std::string(c.caption).find(key), std::string::npos) << button;
            }
        EXPECT_EQ(keys.find(static_cast<char>(std::tolower(key))), std::string::npos) << button;
        keys += static_cast<char>(std::tolower(key));
    }
}

}  // namespace
}  // namespace zestrel
