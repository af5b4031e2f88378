// Helpers for the upgrade tests: a program folder and old cookbooks in a
// temporary folder, and one Browse-and-Upgrade run through frmMain with the
// recording view.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "cli/sample_cookbook.h"
#include "window/frm_main.h"
#include "support/recording_view.h"

namespace zestrel::test {

// Rows of an old cookbook: recipes "R1".."Rn" with rIDs 1..n, and ingredients "I1".."In" of
// recipe 1, each with the amount "1".
std::vector<nlohmann::json> recipeRows(int n);
std::vector<nlohmann::json> ingredientRows(int n);

// A complete upgraded cookbook: it reads, and holds these numbers of rows in Recipe and
// Ingredient and one Version row, stamped "1.3".
bool isCompleteUpgrade(const std::filesystem::path& path, std::size_t recipes, std::size_t ingredients);

class UpgradeTest : public ::testing::Test {
public:
    void SetUp() override;
    void TearDown() override;

    // An old-layout cookbook from rows (JSON objects with the old column names).
    std::filesystem::path cookbook(const std::string& name, cli::OldLayout layout,
                                   const std::vector<nlohmann::json>& recipes,
                                   const std::vector<nlohmann::json>& ingredients);
    // A database with just these tables, each with these Text columns (for broken cookbooks).
    std::filesystem::path customCookbook(
        const std::string& name, const std::vector<std::pair<std::u16string, std::vector<std::u16string>>>& tables);

    // Browse (the dialog answers `path`) and Upgrade; returns the view.
    RecordingView& run(const std::filesystem::path& path);

    static std::string bytesOf(const std::filesystem::path& path);
    std::vector<std::u16string> statusTexts() const;
    std::vector<std::u16string> percentCaptions() const;
    std::vector<int> barValues() const;

    std::filesystem::path dir_;
    std::filesystem::path program_;
    RecordingView view_;
};

}  // namespace zestrel::test
