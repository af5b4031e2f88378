#include "upgrade/value_changes.h"

#include <algorithm>

#include "platform/file_system.h"
#include "text/digits.h"
#include "platform/path_text.h"
#include "text/utf8.h"
#include "upgrade/rid_renames.h"

namespace zestrel::upgrade {

namespace {

// Appended in place: a list may have a line for nearly every row.
void appendNumber(std::string& out, std::size_t number) { text::appendDigits(out, number); }

// A value from the cookbook, quoted; a control character in it (a line break that would forge a
// line of its own) is written as "\x0A".
void appendQuoted(std::string& out, std::u16string_view text) {
    out += '"';
    appendListValue(out, text);
    out += '"';
}

// The row's rID as the list shows it: a quoted text, with its control characters escaped as any
// value's, or Null.
void appendRid(std::string& out, std::u16string_view rid) {
    if (rid.size() >= 2 && rid.front() == u'"' && rid.back() == u'"') return appendQuoted(out, rid.substr(1, rid.size() - 2));
    text::appendUtf8(rid, out);
}

void appendReplacements(std::string& out, const std::vector<ValueChange::Replacement>& replaced) {
    out += "characters replaced: ";
    for (std::size_t i = 0; i < replaced.size(); ++i) {
        const auto& r = replaced[i];
        if (i > 0) out += ", ";
        appendQuoted(out, r.character);
        out += " by ";
        appendQuoted(out, std::u16string_view(&r.storedAs, 1));
        if (r.times > 1) {
            out += " (";
            appendNumber(out, r.times);
            out += " times)";
        }
    }
}

// A file's name on a line of its own: its bytes that are no UTF-8 and its control characters
// escaped, its folder separators as they are.
std::string listedPath(const std::filesystem::path& path) {
    std::string out;
    for (const char c : platform::shownPath(path)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            out += c;
            continue;
        }
        constexpr char kHex[] = "0123456789ABCDEF";
        out += "\\x";
        out += kHex[byte >> 4];
        out += kHex[byte & 0xF];
    }
    return out;
}

bool isRecipeTable(const ValueChange& change) { return std::u16string_view(change.table) == u"Recipe"; }

void appendRename(std::string& out, const RidRename& rename, bool ofRecipe) {
    out += "rID ";
    appendQuoted(out, rename.from);
    if (ofRecipe) {
        out += " of ";
        appendQuoted(out, rename.recipe);
    }
    out += " became ";
    appendQuoted(out, rename.to);
    if (!ofRecipe) {
        out += " with its recipe ";
        appendQuoted(out, rename.recipe);
        return;
    }
    out += ", because ";
    appendQuoted(out, rename.other);
    out += " (";
    appendListValue(out, rename.otherRecipe);
    out += ") also becomes ";
    appendQuoted(out, rename.convertedTo);
}

// An amount's number that lost digits, or one emptied since its column would have cut it into
// another number.
bool appendAmountLoss(std::string& out, const ValueChange& change) {
    if (!change.amountStoredAs.empty()) {
        out += "amount ";
        appendQuoted(out, change.amount);
        out += " stored as ";
        appendQuoted(out, change.amountStoredAs);
        out += " (a number keeps 7 significant digits)";
        return true;
    }
    if (!change.amountTooLong) return false;
    out += "amount ";
    appendQuoted(out, change.amount);
    out += " emptied (too long for its column: cut, it would read as another number)";
    return true;
}

void appendDescription(std::string& out, const ValueChange& change) {
    if (change.renamed) return appendRename(out, *change.renamed, isRecipeTable(change));
    if (appendAmountLoss(out, change)) return;
    if (change.amountEmptied) {
        out += "amount ";
        appendQuoted(out, change.amount);
        out += " emptied (an amount marked with \"*\" is left empty)";
        return;
    }
    if (!change.replaced.empty()) appendReplacements(out, change.replaced);
    if (change.cut) {
        if (!change.replaced.empty()) out += "; ";
        out += "cut to ";
        appendNumber(out, change.kept);
        out += " of ";
        appendNumber(out, change.length);
        out += " characters, cut off: ";
        appendQuoted(out, change.cutOff);
    }
}

}  // namespace

namespace {

bool escapedInList(char16_t c) { return c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F) || c == u'\\' || c == u'"'; }

}  // namespace

std::u16string listValue(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    constexpr char16_t kHex[] = u"0123456789ABCDEF";
    for (const char16_t c : text) {
        if (!escapedInList(c)) {
            out += c;
            continue;
        }
        out += u'\\';
        switch (c) {
        case u'\n': out += u'n'; break;
        case u'\r': out += u'r'; break;
        case u'\t': out += u't'; break;
        case u'\\':
        case u'"': out += c; break;
        default:
            out += u'x';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        }
    }
    return out;
}

void appendListValue(std::string& out, std::u16string_view text) {
    if (std::none_of(text.begin(), text.end(), escapedInList)) return text::appendUtf8(text, out);
    text::appendUtf8(listValue(text), out);
}

std::string describe(const ValueChange& change) {
    std::string out;
    appendDescription(out, change);
    return out;
}

ValueChanges::~ValueChanges() { removeSpill(); }

void ValueChanges::clear() {
    removeSpill();
    size_ = cut_ = replaced_ = emptied_ = renamed_ = followed_ = fewerDigits_ = 0;
    lines_.clear();
    tablesLeft_.clear();
    sharedRids_.clear();
}

void ValueChanges::spillTo(const std::filesystem::path& path) {
    removeSpill();
    platform::removeFile(path);
    spill_.emplace(platform::File::open(path, platform::OpenMode::CreateNewPrivate));
    spillPath_ = path;
    for (const auto& block : lines_) {
        spill_->writeAt(spilled_, std::span(reinterpret_cast<const std::uint8_t*>(block.data()), block.size()));
        spilled_ += block.size();
    }
    lines_.clear();
}

void ValueChanges::spillBlock() {
    std::string& block = lines_.front();
    spill_->writeAt(spilled_, std::span(reinterpret_cast<const std::uint8_t*>(block.data()), block.size()));
    spilled_ += block.size();
    block.clear();
}

void ValueChanges::removeSpill() noexcept {
    if (!spill_) return;
    try {
        spill_->close();
    } catch (...) {
        // Closing a file only read back: nothing of the list is lost with it.
    }
    spill_.reset();
    platform::discardFile(spillPath_);
    spillPath_.clear();
    spilled_ = 0;
}

void ValueChanges::add(const ValueChange& change) {
    ++size_;
    rids_.insert(change.rid);
    cut_ += change.cut ? 1 : 0;
    replaced_ += change.replaced.empty() ? 0 : 1;
    emptied_ += change.amountEmptied ? 1 : 0;
    if (change.renamed) ++(isRecipeTable(change) ? renamed_ : followed_);
    fewerDigits_ += change.amountStoredAs.empty() ? 0 : 1;
    std::string& line = line_;
    line.clear();
    text::appendUtf8(change.table, line);
    line += '.';
    text::appendUtf8(change.column, line);
    line += " (rID ";
    appendRid(line, change.rid);
    line += "): ";
    appendDescription(line, change);
    line += '\n';
    if (spill_) {
        // One block of 64 KB, written out whenever the next line would not fit.
        constexpr std::size_t kSpillBlockBytes = 64 << 10;
        if (lines_.empty()) lines_.emplace_back().reserve(kSpillBlockBytes);
        if (lines_.front().size() + line.size() > kSpillBlockBytes) spillBlock();
        lines_.front() += line;
        return;
    }
    constexpr std::size_t kBlockBytes = 1 << 20;
    if (lines_.empty() || lines_.back().size() + line.size() > lines_.back().capacity()) {
        lines_.emplace_back();
        lines_.back().reserve(std::max(kBlockBytes, line.size()));
    }
    lines_.back() += line;
}

void ValueChanges::writeTo(const std::filesystem::path& cookbook, const std::filesystem::path& backup,
                           const std::function<void(std::string_view)>& write) const {
    std::string head = backup.empty() ? "Values an upgrade to layout 1.3 would change\n"
                                      : "Values the upgrade to layout 1.3 changed\n";
    head += "Cookbook: " + listedPath(cookbook) + "\n";
    if (!backup.empty()) head += "The original cookbook, with every value as it was: " + listedPath(backup) + "\n";
    head += "\n" + std::to_string(size_) + " values changed: " + std::to_string(cut_) + " cut to fit their column, " +
            std::to_string(replaced_) + " with characters code page 1252 lacks replaced, " + std::to_string(emptied_) +
            " amounts emptied.\n";
    if (renamed_ > 0)
        head += std::to_string(renamed_) + (renamed_ == 1 ? " recipe " : " recipes ") +
                (backup.empty() ? "would get" : "got") +
                " a new rID, because the new layout would have given it the rID of another recipe; " +
                std::to_string(followed_) + " ingredient rows " + (backup.empty() ? "would follow" : "followed") +
                " their recipe.\n";
    for (const auto& shared : sharedRids_) {
        text::appendUtf8(shared, head);
        head += "\n";
    }
    if (fewerDigits_ > 0) head += std::to_string(fewerDigits_) + " amounts stored with fewer digits than they were written with.\n";
    if (!tablesLeft_.empty()) head += text::toUtf8(tablesLeft_) + "\n";
    head += "\n";
    write(head);
    if (spill_) {
        // The lines spilled, read back a block at a time, then those not yet written out.
        std::string block(std::size_t{256} << 10, '\0');
        for (std::uint64_t at = 0; at < spilled_;) {
            const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), spilled_ - at));
            spill_->readAt(at, std::span(reinterpret_cast<std::uint8_t*>(block.data()), piece));
            write(std::string_view(block).substr(0, piece));
            at += piece;
        }
    }
    for (const auto& block : lines_) write(block);
}

std::string ValueChanges::render(const std::filesystem::path& cookbook, const std::filesystem::path& backup) const {
    std::string out;
    writeTo(cookbook, backup, [&](std::string_view piece) { out += piece; });
    return out;
}

}  // namespace zestrel::upgrade
