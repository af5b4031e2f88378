// Reading speed of the engine: opening a database and reading every row of
// every table of each Jet fixture, in process.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "store/jet/database_file.h"
#include "support/stored_rows.h"

namespace {

namespace fs = std::filesystem;

void readWholeFile(benchmark::State& state, const fs::path& path) {
    std::int64_t rows = 0;
    for (auto _ : state) {
        auto db = zestrel::jet::DatabaseFile::open(path);
        for (const auto& entry : db->catalog().tables(true))
            rows += static_cast<std::int64_t>(zestrel::test::readRows(*db, db->tableDefinition(entry.name)).size());
    }
    state.counters["rows/s"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsRate);
}

int registerFixtures() {
    const fs::path dir = fs::path(ZESTREL_SHARED_DIR) / "fixtures" / "jet";
    if (!fs::is_directory(dir)) return 0;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().extension() == ".mdb")
            benchmark::RegisterBenchmark(("read/" + entry.path().filename().string()).c_str(), readWholeFile,
                                         entry.path());
    return 0;
}

const int registered = registerFixtures();

}  // namespace

BENCHMARK_MAIN();
