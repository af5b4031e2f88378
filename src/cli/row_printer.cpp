#include "cli/row_printer.h"

#include "cli/json_writer.h"
#include "text/utf8.h"

namespace zestrel::cli {

namespace {
constexpr std::size_t kWriteSize = 1 << 16;
}

RowPrinter::RowPrinter(const std::vector<std::u16string>& columns, std::ostream& out) : out_(out) {
    for (const auto& name : columns) keys_.push_back((keys_.empty() ? "{" : ",") + jsonString(text::toUtf8(name)) + ":");
    buffer_.reserve(2 * kWriteSize);
}

RowPrinter::~RowPrinter() {
    try {
        flush();
    } catch (const std::exception&) {
        // The stream reports its own state; there is no one to tell here.
    }
}

void RowPrinter::print(const std::vector<jet::Value>& row) {
    if (keys_.empty()) buffer_ += "{";
    for (std::size_t i = 0; i < keys_.size() && i < row.size(); ++i) {
        buffer_ += keys_[i];
        appendJsonValue(buffer_, row[i]);
    }
    buffer_ += "}\n";
    if (buffer_.size() >= kWriteSize) flush();
}

void RowPrinter::flush() {
    out_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    buffer_.clear();
}

}  // namespace zestrel::cli
