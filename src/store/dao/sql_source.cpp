#include "store/dao/sql_source.h"

#include <vector>

#include "store/jet/failure.h"
#include "store/jet/sort_key.h"
#include "text/utf8.h"

namespace zestrel::dao {

namespace {

struct Token {
    std::u16string text;
    bool bracketed = false;
};

bool isSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

[[noreturn]] void syntaxError(const std::u16string& source, const std::string& why) {
    throw Failure(failure::kSyntaxError, "Syntax error in '" + text::toUtf8(source) + "': " + why + ".");
}

std::vector<Token> tokenize(const std::u16string& source) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < source.size()) {
        const char16_t c = source[i];
        if (isSpace(c)) {
            ++i;
        } else if (c == u'[') {
            const std::size_t close = source.find(u']', i + 1);
            if (close == std::u16string::npos) syntaxError(source, "a bracket is not closed");
            if (close == i + 1) syntaxError(source, "a name in brackets is empty");
            tokens.push_back({source.substr(i + 1, close - i - 1), true});
            i = close + 1;
        } else if (c == u'*' || c == u';' || c == u',') {
            tokens.push_back({std::u16string(1, c), false});
            ++i;
        } else {
            std::size_t end = i;
            while (end < source.size() && !isSpace(source[end]) && source[end] != u'[' && source[end] != u';' &&
                   source[end] != u',' && source[end] != u'*')
                ++end;
            tokens.push_back({source.substr(i, end - i), false});
            i = end;
        }
    }
    return tokens;
}

bool isKeyword(const Token& token, const char16_t* word) {
    return !token.bracketed && jet::equalsIgnoringCase(token.text, word);
}

class Parser {
public:
    Parser(const std::u16string& source) : source_(source), tokens_(tokenize(source)) {}

    RecordSource parse() {
        expectKeyword(u"SELECT");
        expectSymbol(u"*");
        expectKeyword(u"FROM");
        RecordSource result{name("a table name"), std::nullopt};
        if (more() && isKeyword(peek(), u"ORDER")) {
            next();
            expectKeyword(u"BY");
            result.orderBy = name("a column name");
            if (more() && isKeyword(peek(), u"ASC")) next();
        }
        if (more() && !peek().bracketed && peek().text == u";") next();
        if (more()) syntaxError(source_, "unexpected '" + text::toUtf8(peek().text) + "'");
        return result;
    }

private:
    bool more() const { return position_ < tokens_.size(); }
    const Token& peek() const { return tokens_[position_]; }
    const Token& next() { return tokens_[position_++]; }

    void expectKeyword(const char16_t* word) {
        if (!more() || !isKeyword(peek(), word))
            syntaxError(source_, "expected " + text::toUtf8(word));
        next();
    }
    void expectSymbol(const char16_t* symbol) {
        if (!more() || peek().bracketed || peek().text != symbol) syntaxError(source_, "expected " + text::toUtf8(symbol));
        next();
    }
    std::u16string name(const std::string& what) {
        if (!more()) syntaxError(source_, "expected " + what);
        const Token& t = next();
        if (!t.bracketed && (t.text == u"*" || t.text == u";" || t.text == u",")) syntaxError(source_, "expected " + what);
        return t.text;
    }

    const std::u16string& source_;
    std::vector<Token> tokens_;
    std::size_t position_ = 0;
};

bool looksLikeSql(const std::u16string& source) {
    const auto tokens = tokenize(source);
    return !tokens.empty() && isKeyword(tokens[0], u"SELECT");
}

}  // namespace

RecordSource parseRecordSource(const std::u16string& source) {
    if (looksLikeSql(source)) return Parser(source).parse();
    std::u16string table = source;
    if (table.size() >= 2 && table.front() == u'[' && table.back() == u']') table = table.substr(1, table.size() - 2);
    if (table.empty()) throw Failure(failure::kTableNotFound, "No table name was given.");
    return {table, std::nullopt};
}

}  // namespace zestrel::dao
