#pragma once
// Where the log lives and what one line of it looks like. Writing never fails to
// the caller: a log that cannot be written is no reason to disturb the program
// that wanted to log.

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace qor::logging {

// "YYYY-MM-DD hh:mm:ss.mmm <source> <code1> <code2> <text>" in UTF-8, without the
// line end; line breaks inside the text become spaces so one call stays one line.
std::string FormatLine(const SYSTEMTIME& time, std::int32_t sourceId, std::int32_t code1,
                       std::int32_t code2, std::wstring_view text);

// %LOCALAPPDATA%\Norvane\5521 (the shell's local application data folder when the
// variable is not set); empty when neither is known.
std::wstring LogFolder();

// The log's size cap: a line that would take qorIcon.log past it first moves the
// file to qorIcon.old.log (replacing the one before), so the log never takes more
// than twice the cap on disk.
inline constexpr std::uint64_t kLogCapBytes = 5u * 1024 * 1024;

// Appends the line and a line end to folder\qorIcon.log, creating the folder.
// Returns false (and does nothing else) when the file cannot be written.
bool AppendLine(const std::wstring& folder, std::string_view line) noexcept;

}  // namespace qor::logging
