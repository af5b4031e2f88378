#include "cli/commands.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>

#include "cli/check_command.h"
#include "cli/cookbook_commands.h"
#include "cli/json_writer.h"
#include "cli/row_printer.h"
#include "cli/sample_cookbook.h"
#include "cli/shown_text.h"
#include "platform/console.h"
#include "platform/file_system.h"
#include "platform/number_text.h"
#include "platform/path_text.h"
#include "cli/terminal_view.h"
#include "format/create_cookbook.h"
#include "store/dao/db_engine.h"
#include "store/dao/recordset.h"
#include "zestrel_version.h"
#include "store/jet/failure.h"
#include "store/failure_text.h"
#include "store/jet/format.h"
#include "text/utf8.h"

namespace zestrel::cli {

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

std::string typeName(int daoType) {
    switch (daoType) {
    case dao::type::dbBoolean: return "Boolean";
    case dao::type::dbByte: return "Byte";
    case dao::type::dbInteger: return "Integer";
    case dao::type::dbLong: return "Long";
    case dao::type::dbCurrency: return "Currency";
    case dao::type::dbSingle: return "Single";
    case dao::type::dbDouble: return "Double";
    case dao::type::dbDate: return "DateTime";
    case dao::type::dbBinary: return "Binary";
    case dao::type::dbText: return "Text";
    case dao::type::dbLongBinary: return "OLE";
    case dao::type::dbMemo: return "Memo";
    case dao::type::dbGUID: return "GUID";
    case dao::type::dbDecimal: return "Numeric";
    default: return jet::columnTypeName(static_cast<jet::ColumnType>(daoType));
    }
}

// A name as standard output takes it: escaped for a terminal, as stored for a pipe or a file.
std::string onTerminal(const std::string& utf8) {
    static const bool terminal = platform::standardOutputIsTerminal();
    return terminal ? shownLine(utf8) : utf8;
}

// Opens a database to inspect it; a database password does not stop the reading (as with
// mdbtools), but it is said on standard error, so the output itself stays as it is.
std::shared_ptr<dao::Database> inspect(const std::string& file, std::optional<std::uint16_t> codePage) {
    auto db = dao::DBEngine::Instance().OpenForInspection(platform::pathFromArgument(file), codePage);
    if (db->file().header().hasPassword)
        std::cerr << "zestrel: " << shownName(platform::pathFromArgument(file)) << " has a database password; it is read without it\n";
    return db;
}

void listTables(const std::string& file, std::optional<std::uint16_t> codePage) {
    auto db = inspect(file, codePage);
    for (const auto& name : db->tableNames(false)) std::cout << onTerminal(text::toUtf8(name)) << '\n';
    db->Close();
}

void printSchema(const std::string& file, const std::string& table, std::optional<std::uint16_t> codePage) {
    auto db = inspect(file, codePage);
    std::vector<std::u16string> tables;
    if (table.empty()) tables = db->tableNames(false);
    else tables.push_back(text::fromUtf8(table));
    for (const auto& name : tables) {
        const auto def = db->tableDef(name);
        for (const auto& field : def->Fields().items())
            std::cout << onTerminal(text::toUtf8(def->Name())) << '\t' << onTerminal(text::toUtf8(field->Name())) << '\t'
                      << typeName(field->Type()) << '\t' << field->Size() << '\t'
                      << (field->AllowZeroLength() ? "yes" : "no") << '\n';
    }
    db->Close();
}

// Rows are printed as they are read, in the table's order, so memory stays flat but for where
// each row lives (a few bytes a row).
void dumpTable(const std::string& file, const std::string& table, std::optional<std::uint16_t> codePage) {
    auto db = inspect(file, codePage);
    {
        const auto rows = db->OpenRecordset(text::fromUtf8(table), dao::dbOpenTable);
        const auto& fields = rows->fieldList();
        std::vector<std::u16string> names;
        for (const auto& field : fields) names.push_back(field.Name());
        RowPrinter printer(names, std::cout);
        std::vector<jet::Value> values(fields.size());
        for (; !rows->EOF_(); rows->MoveNext()) {
            for (std::size_t i = 0; i < fields.size(); ++i) values[i] = fields[i].Value().value();
            printer.print(values);
        }
        rows->Close();
    }
    db->Close();
}

int newCookbook(const std::string& file) {
    TerminalView view(std::cerr, false);
    platform::setMessageView(&view);
    std::optional<Failure> failed;
    try {
        dbFunction::createCookbookOrThrow(platform::textOfPath(platform::pathFromArgument(file)));
    } catch (...) {
        failed = currentFailure();
    }
    platform::setMessageView(nullptr);
    if (failed) {
        view.messageBox(failureText(*failed), platform::MsgIcon::Critical, u"Create Database");
        return kExitFailure;
    }
    std::cerr << "Created an empty layout-1.3 cookbook: " << shownName(platform::pathFromArgument(file)) << '\n';
    return 0;
}

void writeSample(const std::string& file, const std::string& layout, const SampleOptions& base,
                 const std::string& recipeRows, const std::string& ingredientRows) {
    SampleOptions options = base;
    options.layout = layout == "1.0" ? OldLayout::V10 : OldLayout::V11;
    options.recipeRowsFile = platform::pathFromArgument(recipeRows);
    options.ingredientRowsFile = platform::pathFromArgument(ingredientRows);
    writeSampleCookbook(platform::pathFromArgument(file), options);
    std::cerr << "Wrote a layout-" << layout << " cookbook: " << shownName(platform::pathFromArgument(file)) << '\n';
}

// Runs one subcommand, printing a failure as "<number> - <description>".
template <typename Action>
int report(Action&& action) {
    try {
        action();
        std::cout.flush();
        return 0;
    } catch (...) {
        std::cerr << shownMessage(failureText(currentFailure())) << '\n';
    }
    return kExitFailure;
}

// The program's folder when neither the option nor the variable gives one.
#ifdef _WIN32
constexpr const char* kDefaultProgramFolder =
    "the folder of zestrel.exe (%LOCALAPPDATA%\\Zestrel when it cannot be written)";
#else
constexpr const char* kDefaultProgramFolder = "$XDG_DATA_HOME/zestrel (by default ~/.local/share/zestrel)";
#endif

// A failed write to standard output (a full disk) fails the command, whatever it printed before;
// a closed pipe has ended the program quietly by its signal before it gets here.
int withOutputWritten(int status) {
    std::cout.flush();
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0;
    const int error = errno;
    if (flushed && std::cout.good() && !std::ferror(stdout)) return status;
    std::cerr << failure::kDiskIoError << " - Could not write to standard output";
    if (error != 0) std::cerr << ": " << std::strerror(error);
    std::cerr << '\n';
    return kExitFailure;
}

int usageError(const std::string& message, const std::string& command = {}) {
    std::cerr << "zestrel: " << message << "\nRun 'zestrel "
              << (command.empty() ? std::string("--help' for the commands.") : "help " + command + "' for its options.")
              << '\n';
    return kExitUsage;
}

std::string inQuotes(const std::string& text) { return "'" + shownLine(text) + "'"; }

// The first argument that names no command or an option the program does not know, before any
// command: the parser would only say that something was not expected.
std::optional<std::string> unknownBeforeCommand(const std::vector<std::string>& arguments, const CLI::App& app) {
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--") return std::nullopt;
        if (argument == "-h" || argument == "--help" || argument == "--version") continue;
        if (argument.rfind('-', 0) == 0) return "unknown option " + inQuotes(argument);
        for (const CLI::App* command : app.get_subcommands({}))
            if (command->get_name() == argument) return std::nullopt;
        return "unknown command " + inQuotes(argument);
    }
    return std::nullopt;
}

// What a command was given beyond what it takes: an unknown option or an argument too many.
std::optional<std::string> unexpectedInCommand(const CLI::App& command) {
    // "--", which ends the options, is kept among the rest but is no argument too many.
    if (command.remaining_size() == 0) return std::nullopt;
    const auto rest = command.remaining();
    const std::string& first = *std::find_if(rest.begin(), rest.end(), [](const std::string& a) { return a != "--"; });
    return (first.rfind('-', 0) == 0 && first != "-" ? "unknown option " : "unexpected argument ") + inQuotes(first) +
           " for " + inQuotes(command.get_name());
}

}  // namespace

int runZestrel(int argc, char** argv) {
    platform::useUserNumberFormat();  // amounts are read as the window reads them
    platform::useUtf8Console();
    CLI::App app{"Zestrel Cookbook Upgrade: reads and upgrades recipe cookbook files (Jet databases).", "zestrel"};
    app.allow_windows_style_options(false);  // "/folder/file.rcp" is a file, on Windows too
    app.set_version_flag("--version", "zestrel " + std::string(kVersionText));
    app.require_subcommand(1);

    std::string file;
    std::string table;
    std::optional<std::uint16_t> codePage;
    const auto addCodePage = [&](CLI::App* command) {
        command->add_option("--code-page", codePage,
                            "Read Jet 3 text in this Windows code page (874, 932, 936, 949, 950, 1250-1258), "
                            "whatever the file's header says")
            ->check(CLI::IsMember({874, 932, 936, 949, 950, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258}));
    };
    auto* tables = app.add_subcommand("tables", "List the user tables of a database, one per line.");
    tables->add_option("FILE", file, "The database file")->required();
    addCodePage(tables);
    auto* schema = app.add_subcommand("schema", "List columns: table, column, type, size, zero-length text allowed.");
    schema->add_option("FILE", file, "The database file")->required();
    schema->add_option("TABLE", table, "Only this table");
    addCodePage(schema);
    auto* dump = app.add_subcommand("dump", "Print every row of a table as one JSON object per line.");
    dump->add_option("FILE", file, "The database file")->required();
    dump->add_option("TABLE", table, "The table (system tables too)")->required();
    addCodePage(dump);

    CheckOptions checkOptions;
    auto* check =
        app.add_subcommand("check", "Check a database's structure; one line per fault, exit 0 only when none.");
    check->add_option("FILE", file, "The database file (Jet 3 or Jet 4; only read)")->required();
    check->add_flag("--notes", checkOptions.showNotes, "Also list leftovers the genuine engine tolerates");
    check->add_flag("--strict", checkOptions.strict,
                    "Count those leftovers (stale row counts, pages no map or column owns) as faults, as for a file "
                    "this program wrote");
    addCodePage(check);

    auto* create = app.add_subcommand("new", "Create an empty cookbook of layout 1.3 (the file must not exist).");
    create->add_option("FILE", file, "The cookbook file to create")->required();
    auto* version = app.add_subcommand(
        "version", "Read a cookbook's version as Browse does, and say whether an upgrade is offered.");
    version->add_option("FILE", file, "The cookbook file (as named when it exists, else with \".rcp\" added)")
        ->required();

    const std::string programFolderHelp =
        std::string("The program's folder (for tempdb.mdb and Backup); default: $ZESTREL_PROGRAM_FOLDER, or else ") +
        kDefaultProgramFolder;
    UpgradeOptions upgradeOptions;
    auto* upgrade = app.add_subcommand(
        "upgrade", "Upgrade each cookbook in turn, headless; exit 0 only when every one ends at the current version.");
    upgrade->add_option("--program-folder", upgradeOptions.programFolder, programFolderHelp);
    upgrade->add_flag("--quiet", upgradeOptions.quiet, "Print only failures");
    upgrade->add_flag("--verbose", upgradeOptions.verbose,
                      "Also print the window's status lines (\"Create temporary file...\", \"Done!\")");
    upgrade->add_flag("--dry-run", upgradeOptions.dryRun,
                      "Copy every row into a new database in the program's folder and print the values the "
                      "upgrade would change; then remove it: no backup is made and no cookbook is changed");
    upgrade
        ->add_option("FILE", upgradeOptions.files,
                     "The cookbook files (as named when they exist, else with \".rcp\" added)")
        ->required();

    RestoreOptions restoreOptions;
    auto* restore = app.add_subcommand("restore",
                                       "Put a copy of the newest backup of a cookbook back in its place, keeping the "
                                       "file there as <name>_upgraded.rcp in Backup. Only the cookbook's own backups "
                                       "count: those whose record names this cookbook's path, or the very file its "
                                       "upgrade wrote. The backup stays in Backup.");
    restore->add_option("--program-folder", restoreOptions.programFolder, programFolderHelp);
    restore->add_flag("--list", restoreOptions.list,
                      "Only list the backups of the cookbook, oldest first: when each was made, where it is, and "
                      "the cookbook it was made of");
    restore->add_option("--from", restoreOptions.from,
                        "Put back this backup instead (a backup made by an earlier version, which carries no "
                        "record of its cookbook, is restored only so)");
    restore->add_option("COOKBOOK", restoreOptions.cookbook, "The cookbook file")->required();

    std::string layout;
    std::string recipeRows;
    std::string ingredientRows;
    SampleOptions sample;
    auto* sampleCommand = app.add_subcommand("sample", "Write an old-layout cookbook, generated or from given rows.");
    sampleCommand->add_option("--layout", layout, "1.0 or 1.1")->required()->check(CLI::IsMember({"1.0", "1.1"}));
    sampleCommand->add_option("--recipes", sample.recipes, "Number of recipes to generate")
        ->check(CLI::NonNegativeNumber);
    sampleCommand->add_option("--ingredients-per-recipe", sample.ingredientsPerRecipe, "Ingredient rows per recipe")
        ->check(CLI::NonNegativeNumber);
    sampleCommand->add_option("--seed", sample.seed, "Seed of the generator");
    sampleCommand->add_option("--recipe-rows", recipeRows, "Recipe rows, one JSON object per line (old column names)");
    sampleCommand->add_option("--ingredient-rows", ingredientRows,
                              "Ingred rows, one JSON object per line (old column names)");
    sampleCommand->add_option("FILE", file, "The cookbook file to write (must not exist)")->required();

    std::string helpTopic;
    auto* help = app.add_subcommand("help", "Print the help of a command, or of the program.");
    help->add_option("COMMAND", helpTopic, "The command");

    for (CLI::App* command : app.get_subcommands({})) command->allow_extras();  // named in our own message

    // Set last, so that the subcommands' own help does not repeat it.
    app.footer(
        "Exit status:\n"
        "  0                           success (for upgrade: every cookbook ends at the current version)\n"
        "  1                           failure, printed as <number> - <description>\n"
        "  2                           wrong usage\n"
        "\n"
        "Output:\n"
        "  Data (tables, rows, versions, lists) goes to standard output; what happens\n"
        "  (progress, results, failures) goes to standard error.\n"
        "\n"
        "Environment:\n"
        "  ZESTREL_PROGRAM_FOLDER      The program's folder (for tempdb.mdb and Backup), unless\n"
        "                              --program-folder gives one\n"
#ifdef _WIN32
        "  LOCALAPPDATA                Without either, the program's folder is the one that holds\n"
        "                              zestrel.exe, or %LOCALAPPDATA%\\Zestrel when that cannot be written");
#else
        "  XDG_DATA_HOME               Without either, the program's folder is $XDG_DATA_HOME/zestrel\n"
        "                              (by default ~/.local/share/zestrel)");
#endif

    // Arguments in UTF-8 whatever the system's code page (on Windows argv has only that).
    const std::vector<std::string> arguments = platform::utf8Arguments(argc, argv);
    if (arguments.size() <= 1) {  // the program alone: its commands, as "zestrel help" lists them
        std::cout << app.help();
        return withOutputWritten(0);
    }
    if (const auto unknown = unknownBeforeCommand(arguments, app)) return usageError(*unknown);
    try {
        std::vector<const char*> pointers;
        for (const auto& argument : arguments) pointers.push_back(argument.c_str());
        app.parse(static_cast<int>(pointers.size()), pointers.data());
    } catch (const CLI::ParseError& e) {
        return withOutputWritten(app.exit(e) == 0 ? 0 : kExitUsage);  // --help and --version succeed
    }
    for (const CLI::App* command : app.get_subcommands())
        if (const auto unexpected = unexpectedInCommand(*command)) return usageError(*unexpected, command->get_name());
    if (help->parsed()) {
        if (helpTopic.empty()) {
            app.clear();  // the help of the program, not of the command "help" just parsed
            std::cout << app.help();
            return withOutputWritten(0);
        }
        for (const CLI::App* command : app.get_subcommands({}))
            if (command->get_name() == helpTopic) {
                std::cout << command->help(app.get_name());
                return withOutputWritten(0);
            }
        return usageError("unknown command " + inQuotes(helpTopic));
    }
    if (tables->parsed()) return withOutputWritten(report([&] { listTables(file, codePage); }));
    if (schema->parsed()) return withOutputWritten(report([&] { printSchema(file, table, codePage); }));
    if (check->parsed()) {
        int status = kExitFailure;
        checkOptions.codePage = codePage;
        report([&] { status = checkFile(file, checkOptions, std::cout); });
        return withOutputWritten(status);
    }
    if (create->parsed()) return newCookbook(file);
    if (version->parsed()) return withOutputWritten(cookbookVersion(file));
    if (upgrade->parsed()) return withOutputWritten(upgradeCookbooks(upgradeOptions));
    if (restore->parsed()) return withOutputWritten(restoreCookbook(restoreOptions));
    if (sampleCommand->parsed()) return report([&] { writeSample(file, layout, sample, recipeRows, ingredientRows); });
    return withOutputWritten(report([&] { dumpTable(file, table, codePage); }));
}

}  // namespace zestrel::cli
