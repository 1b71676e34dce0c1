#pragma once
// The scenario language's words, shared by the readers of actions and of
// expectations: the words of one line as they are read, and the table of phrases
// ("tray click", "expect state") with the reader of what follows each. The one
// table drives the reading and names the known words when a word is unknown.

#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/scenario/Script.h"
#include "sim/scenario/Session.h"

namespace qor::sim {

// A whole number: decimal with an optional minus sign, or hexadecimal after "0x".
// Values too large for any range come back as something beyond every range.
std::optional<std::int64_t> ParseNumber(const std::string& text);

// The words of one line, read left to right; every complaint names file and line.
class Args {
  public:
    Args(std::vector<Token> tokens, std::string file, int line)
        : tokens_(std::move(tokens)), file_(std::move(file)), line_(line) {}

    bool More() const { return pos_ < tokens_.size(); }
    [[noreturn]] void Error(const std::string& message) const;
    std::string Next(const std::string& what);  // a word or a text
    std::string Word(const std::string& what);  // a word, not a text in quotes
    bool Accept(const std::string& word);
    // A number within [min, max]; anything else stops the scenario, as a value
    // cut to fit would test something other than what the line says.
    template <class T>
    T Number(const std::string& what, T min = std::numeric_limits<T>::min(),
             T max = std::numeric_limits<T>::max()) {
        const auto text = Word(what);
        const auto value = ParseNumber(text);
        if (!value) Error("expected a number for " + what + ", not '" + text + "'");
        if (*value < static_cast<std::int64_t>(min) || *value > static_cast<std::int64_t>(max))
            Error(what + " " + text + " is out of range (" + std::to_string(min) + " to " +
                  std::to_string(max) + ")");
        return static_cast<T>(*value);
    }
    bool YesNo(const std::string& what);
    template <class T>
    T OneOf(const std::string& what, const std::map<std::string, T>& choices) {
        const auto word = Word(what);
        const auto it = choices.find(word);
        if (it != choices.end()) return it->second;
        std::string known;
        for (const auto& [name, _] : choices) known += (known.empty() ? "" : ", ") + name;
        Error("unknown " + what + " '" + word + "' (known: " + known + ")");
    }
    void End();  // nothing may follow

  private:
    std::vector<Token> tokens_;
    std::size_t pos_ = 0;
    std::string file_;
    int line_;
};

using Action = std::function<void(Session&)>;
using Reader = std::function<Action(Args&)>;

// One phrase of the language and the reader of the rest of its line. A heading
// (no reader) says what the word after it names, e.g. {"tray", {}, "tray gesture"}.
struct WordRow {
    std::string phrase;
    Reader read;
    std::string next;
};

// A phrase after which the line ends.
Reader Alone(Action action);
// A phrase followed by one word or text and nothing more.
Reader WithText(const std::string& what, std::function<void(Session&, const std::string&)> act);

// The rows of each kind, in the order the known words are listed.
std::span<const WordRow> ActionWords();
std::span<const WordRow> ExpectationWords();

// Shared by both kinds.
std::string Quote(const std::string& text);
World& Tray(Session& s);  // the world, once the tray icon exists
FormView Form(Session& s);

}  // namespace qor::sim
