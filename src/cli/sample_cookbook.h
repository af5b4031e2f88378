// Old-layout cookbooks (layout 1.0 and 1.1) for trying and testing the
// upgrade: generated ones, or ones built from given rows.
//
// The old layouts name their columns; their types are ours to choose, and are
// chosen so that every case the upgrade handles can occur: long texts where
// the new layout cuts (Pic and Ingred are memos), numbers where a number must
// become text (rID and Item of layout 1.0 are Long), nulls everywhere.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace zestrel::cli {

enum class OldLayout { V10, V11 };

struct OldColumn {
    const char16_t* name;
    int type;
    long size;
};

const std::vector<OldColumn>& oldRecipeColumns(OldLayout layout);
const std::vector<OldColumn>& oldIngredientColumns(OldLayout layout);

struct SampleOptions {
    OldLayout layout = OldLayout::V11;
    int recipes = 10;
    int ingredientsPerRecipe = 5;
    std::uint32_t seed = 1;
    // Rows given instead of generated ones: one JSON object per row, keys the old column names.
    std::optional<std::vector<nlohmann::json>> recipeRows;
    std::optional<std::vector<nlohmann::json>> ingredientRows;
};

// Writes a new old-layout cookbook (a Version row "1.1" for layout 1.1; no Version table for 1.0).
void writeSampleCookbook(const std::filesystem::path& path, const SampleOptions& options);

// The rows of a JSON-lines file.
std::vector<nlohmann::json> readJsonLines(const std::filesystem::path& path);

}  // namespace zestrel::cli
