// What the upgrade's copy takes without decoding: a text as the target file stores it, a value
// in its column's stored form, a whole number straight from its row.
#include <algorithm>
#include <limits>

#include "store/dao/recordset.h"
#include "store/dao/stored_text_taker.h"
#include "store/dao/value_conversion.h"
#include "store/jet/jet4_text.h"
#include "store/jet/long_value.h"

namespace zestrel::dao {

jet::Value Recordset::CollectRef::storedForm(const Variant& value) const {
    owner_.ensureOpen();
    std::vector<jet::Value> converted;
    converted.reserve(1);
    return storedFormFor(value, owner_.table_.columns[column_], owner_.table_.name, converted);
}

bool isTextColumn(const jet::ColumnDefinition& column) {
    return column.type == jet::ColumnType::Text || column.type == jet::ColumnType::Memo;
}

bool Recordset::CollectRef::takeStoredText(const Field& field, std::size_t maxCharacters) {
    return StoredTextTaker(*this, field, maxCharacters)();
}

// Both texts (Text or Memo); this file Jet 3; the source's text either a Jet 3 text of this file's
// code page, taken as stored, or a Jet 4 text, converted where the page stores every character as
// itself. A Jet 3 text takes one byte a character; what Update would refuse goes the way of any value.
StoredTextTaker::StoredTextTaker(Recordset::CollectRef target, const Field& source, std::size_t maxCharacters)
    : target_(&target.owner_), column_(target.column_) {
    target_->ensureOpen();
    const jet::ColumnDefinition& column = target_->table_.columns[column_];
    const jet::Format& format = target_->database_->file->format();
    if (source.recordset_ == nullptr || !isTextColumn(column) || format.version != jet::JetVersion::Jet3) return;
    source_ = source.recordset_;
    sourceColumn_ = source.column_;
    if (!isTextColumn(source_->table_.columns[sourceColumn_]) || !source_->database_->file) return;
    const jet::Format& from = source_->database_->file->format();
    if (from.version != jet::JetVersion::Jet3) way_ = Way::FromJet4;
    else if (jet::codePageOf(from).number() == jet::codePageOf(format).number()) way_ = Way::AsStored;
    const std::size_t limit = column.type == jet::ColumnType::Text ? column.size : jet::kLongValueLengthMask;
    most_ = std::min(maxCharacters, limit);
    allowZeroLength_ = column.allowZeroLength;
}

bool StoredTextTaker::operator()() const {
    if (way_ == Way::None) return false;
    Recordset& target = *target_;
    target.ensureOpen();
    if (target.editMode_ == Recordset::EditMode::None) return false;
    source_->loadCurrent();
    const jet::FieldLocation& field = source_->currentFields_[sourceColumn_];
    if (field.isNull) return false;
    // A column holding a text taken before reads the new one beside it, which a refusal leaves as it was.
    jet::Value& slot = target.storedTexts_[column_];
    const bool holdsText = target.givenStored_[column_] == &slot;
    jet::Bytes& text = holdsText ? target.textBeingTaken_ : std::get<jet::Bytes>(slot);
    jet::DatabaseFile& from = *source_->database_->file;
    const jet::ColumnDefinition& definition = source_->table_.columns[sourceColumn_];
    if (way_ == Way::AsStored) {
        from.storedText(field, definition, text);
    } else if (!jet::jet4TextInCodePage(from.storedTextBytes(field, definition, source_->unicodeText_),
                                        jet::codePageOf(target.database_->file->format()), text)) {
        return false;
    }
    if (text.size() > most_ || (text.empty() && !allowZeroLength_)) return false;
    if (holdsText) std::swap(text, std::get<jet::Bytes>(slot));
    target.givenStored_[column_] = &slot;
    return true;
}

bool Recordset::storedTextIn(std::size_t column, const text::CodePage& page, jet::Bytes& text) const {
    loadCurrent();
    const auto& definition = table_.columns[column];
    const auto& field = currentFields_[column];
    if (!isTextColumn(definition) || field.isNull) return false;
    const jet::Format& format = database_->file->format();
    if (format.version == jet::JetVersion::Jet3) {
        if (jet::codePageOf(format).number() != page.number()) return false;
        database_->file->storedText(field, definition, text);
        return true;
    }
    // Jet 4 keeps text as UTF-16, often compressed: it becomes the page's bytes straight from there.
    return jet::jet4TextInCodePage(database_->file->storedTextBytes(field, definition, unicodeText_), page, text);
}

std::optional<std::int64_t> Recordset::wholeNumberIn(std::size_t column) const {
    loadCurrent();
    return database_->file->guarded([&] { return jet::wholeNumberOf(currentFields_[column], table_.columns[column]); });
}

}  // namespace zestrel::dao
