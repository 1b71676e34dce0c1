// Reading a scenario: lines into words, words into steps. Which phrases exist and
// how the rest of each line is read is the word table's business (ScriptWords.h);
// this file walks a line's words through it.

#include "sim/scenario/Script.h"

#include <algorithm>
#include <cctype>
#include <sstream>

#include "sim/scenario/ScriptWords.h"

namespace qor::sim {

std::vector<Token> Tokenize(const std::string& line, const std::string& file, int lineNo) {
    // The real world's texts end at a NUL: what followed would be lost there.
    if (line.find('\0') != std::string::npos)
        throw ScriptError(file, lineNo, "a NUL character in the line");
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
        } else if (c == '#') {
            break;
        } else if (c == '"') {
            Token t{"", true};
            ++i;
            bool closed = false;
            while (i < line.size()) {
                if (line[i] == '\\' && i + 1 < line.size() &&
                    (line[i + 1] == '"' || line[i + 1] == '\\' || line[i + 1] == '0')) {
                    // \0 lets a scenario hand a NUL to the component.
                    t.text += line[i + 1] == '0' ? '\0' : line[i + 1];
                    i += 2;
                } else if (line[i] == '"') {
                    closed = true;
                    ++i;
                    break;
                } else {
                    t.text += line[i++];
                }
            }
            if (!closed) throw ScriptError(file, lineNo, "a text in quotes is not closed");
            if (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' &&
                line[i] != '#')
                throw ScriptError(file, lineNo, "a text in quotes is joined to what follows it");
            tokens.push_back(std::move(t));
        } else {
            Token t;
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' &&
                   line[i] != '"')
                t.text += line[i++];
            if (i < line.size() && line[i] == '"')
                throw ScriptError(file, lineNo, "a text in quotes is joined to the word before it");
            tokens.push_back(std::move(t));
        }
    }
    return tokens;
}

std::optional<std::int64_t> ParseNumber(const std::string& text) {
    // Far beyond every range a number may have, and far from overflowing.
    constexpr std::int64_t kHuge = std::int64_t{1} << 40;
    std::size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative) ++i;
    int base = 10;
    if (!negative && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        i = 2;
    }
    if (i >= text.size()) return std::nullopt;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else {
            return std::nullopt;
        }
        value = std::min(value * base + digit, kHuge);
    }
    return negative ? -value : value;
}

// ---- Args

void Args::Error(const std::string& message) const {
    throw ScriptError(file_, line_, message);
}

std::string Args::Next(const std::string& what) {
    if (!More()) Error("missing " + what);
    return tokens_[pos_++].text;
}

std::string Args::Word(const std::string& what) {
    if (!More()) Error("missing " + what);
    if (tokens_[pos_].quoted) Error("expected " + what + ", not a text in quotes");
    return tokens_[pos_++].text;
}

bool Args::Accept(const std::string& word) {
    if (More() && !tokens_[pos_].quoted && tokens_[pos_].text == word) {
        ++pos_;
        return true;
    }
    return false;
}

bool Args::YesNo(const std::string& what) {
    const auto word = Word(what);
    if (word == "yes" || word == "on" || word == "true") return true;
    if (word == "no" || word == "off" || word == "false") return false;
    Error("expected yes or no for " + what + ", not '" + word + "'");
}

void Args::End() {
    if (More()) Error("unexpected '" + tokens_[pos_].text + "' at the end of the line");
}

// ---- Shared by the readers

Reader Alone(Action action) {
    return [action = std::move(action)](Args& a) {
        a.End();
        return action;
    };
}

Reader WithText(const std::string& what, std::function<void(Session&, const std::string&)> act) {
    return [what, act = std::move(act)](Args& a) -> Action {
        const auto text = a.Next(what);
        a.End();
        return [act, text](Session& s) { act(s, text); };
    };
}

std::string Quote(const std::string& text) {
    return "\"" + text + "\"";
}

World& Tray(Session& s) {
    if (!s.world->HasTray()) s.Impossible("there is no tray icon yet ('client create' shows it)");
    return *s.world;
}

FormView Form(Session& s) {
    if (!s.world->HasForm())
        s.Impossible("the tray form does not exist yet ('client create' loads it)");
    return s.world->Form();
}

// ---- The word table

namespace {

// Every phrase of the language, actions first.
const std::vector<WordRow>& WordTable() {
    static const std::vector<WordRow> table = [] {
        std::vector<WordRow> rows(ActionWords().begin(), ActionWords().end());
        rows.insert(rows.end(), ExpectationWords().begin(), ExpectationWords().end());
        return rows;
    }();
    return table;
}

const WordRow* Find(const std::string& phrase) {
    for (const auto& row : WordTable())
        if (row.phrase == phrase) return &row;
    return nullptr;
}

// The words that may follow `phrase` ("" for a line's first word), in table order.
std::string KnownAfter(const std::string& phrase) {
    const std::string prefix = phrase.empty() ? "" : phrase + " ";
    std::string known;
    for (const auto& row : WordTable()) {
        if (row.phrase.size() <= prefix.size() || row.phrase.compare(0, prefix.size(), prefix))
            continue;
        const auto word = row.phrase.substr(prefix.size());
        if (word.find(' ') != std::string::npos) continue;  // a word further on
        known += (known.empty() ? "" : ", ") + word;
    }
    return known;
}

// Follows the line's words through the table to the phrase they make, and reads
// the rest of the line with its reader.
Action ReadLine(const std::string& first, Args& a) {
    std::string phrase = first;
    std::string what = "word";
    for (;;) {
        const WordRow* row = Find(phrase);
        if (!row) {
            const auto word = phrase.substr(phrase.rfind(' ') + 1);
            const auto before = phrase.size() > word.size()
                                    ? phrase.substr(0, phrase.size() - word.size() - 1)
                                    : std::string();
            a.Error("unknown " + what + " '" + word + "' (known: " + KnownAfter(before) + ")");
        }
        if (row->read) return row->read(a);
        what = row->next;
        phrase += " " + a.Word(what);
    }
}

}  // namespace

std::vector<Step> ReadScript(const std::string& text, const std::string& file) {
    std::vector<Step> steps;
    std::istringstream in(text);
    std::string raw;
    int lineNo = 0;
    while (std::getline(in, raw)) {
        ++lineNo;
        auto tokens = Tokenize(raw, file, lineNo);
        if (tokens.empty()) continue;
        std::string written;
        for (const auto& t : tokens) {
            if (!written.empty()) written += ' ';
            written += t.quoted ? Quote(t.text) : t.text;
        }
        if (tokens[0].quoted)
            throw ScriptError(file, lineNo, "a line starts with a word, not a text in quotes");
        const auto verb = tokens[0].text;
        tokens.erase(tokens.begin());
        Args a(std::move(tokens), file, lineNo);
        steps.push_back(Step{file, lineNo, written, verb == "expect", ReadLine(verb, a)});
    }
    return steps;
}

}  // namespace qor::sim
