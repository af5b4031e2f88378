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
#include <fstream>
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
    // Or JSON-lines files of such rows, read a line at a time as the rows are written.
    std::filesystem::path recipeRowsFile;
    std::filesystem::path ingredientRowsFile;
};

// Writes a new old-layout cookbook (a Version row "1.1" for layout 1.1; no Version table for 1.0).
// Rows are generated or read one at a time, so memory does not grow with the cookbook. Row files
// are checked whole before the cookbook is created: a line that is not JSON creates no file.
void writeSampleCookbook(const std::filesystem::path& path, const SampleOptions& options);

// The rows of a JSON-lines file.
std::vector<nlohmann::json> readJsonLines(const std::filesystem::path& path);

// Reads a JSON-lines file a row at a time; blank lines are skipped. A line that is not JSON
// fails with 3131 naming the file and line; a missing file with 3024.
class JsonLinesReader {
public:
    explicit JsonLinesReader(const std::filesystem::path& path);
    std::optional<nlohmann::json> next();

private:
    std::filesystem::path path_;
    std::ifstream in_;
    int line_ = 0;
};

}  // namespace zestrel::cli
