#pragma once
// The scenario language's reading side: a scenario is a text of lines, one action
// or expectation per line, words separated by blanks, texts in double quotes, and
// '#' starting a comment. Reading turns every line into a step, so that an unknown
// word or a missing argument stops the scenario before anything runs.

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace qor::sim {

class Session;

// A fault of the scenario itself (unknown word, missing argument, impossible step),
// always naming the file and line.
class ScriptError : public std::runtime_error {
  public:
    ScriptError(const std::string& file, int line, const std::string& message)
        : std::runtime_error(file + ":" + std::to_string(line) + ": " + message),
          file(file),
          line(line),
          message(message) {}
    std::string file;
    int line;
    std::string message;
};

struct Token {
    std::string text;
    bool quoted = false;
};

// Splits one line; a '#' outside quotes starts a comment. Inside quotes \" is a
// quote and \\ a backslash. An unterminated quote is a ScriptError.
std::vector<Token> Tokenize(const std::string& line, const std::string& file, int lineNo);

struct Step {
    std::string file;
    int line = 0;
    std::string text;  // the line as written, without its comment
    bool expectation = false;
    std::function<void(Session&)> run;
};

// Reads a whole scenario; throws ScriptError at the first line it cannot read.
std::vector<Step> ReadScript(const std::string& text, const std::string& file);

}  // namespace qor::sim
