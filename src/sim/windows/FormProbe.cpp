#include "sim/windows/FormProbe.h"

#include <charconv>
#include <string>
#include <string_view>
#include <vector>

namespace qor::sim::win {

namespace {

using DescribeFormFn = unsigned(__stdcall*)(char* buffer, unsigned size);

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (;;) {
        const auto at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos) return parts;
        text.remove_prefix(at + 1);
    }
}

template <class T>
T Number(std::string_view text) {
    T value{};
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// Lines: "state N", "default NAME", then per menu item, depth first,
// item<TAB>depth<TAB>name<TAB>visible<TAB>checked<TAB>separator<TAB>caption<TAB>tag.
FormView Parse(std::string_view text) {
    FormView form;
    for (std::string_view line : Split(text, '\n')) {
        if (line.starts_with("state ")) {
            form.state = Number<std::int32_t>(line.substr(6));
        } else if (line.starts_with("default ")) {
            form.defaultItem = std::string(line.substr(8));
        } else if (line.starts_with("item\t")) {
            const auto fields = Split(line, '\t');
            if (fields.size() < 8) continue;
            MenuEntryView entry;
            entry.depth = Number<int>(fields[1]);
            entry.name = std::string(fields[2]);
            entry.visible = fields[3] == "1";
            entry.checked = fields[4] == "1";
            entry.separator = fields[5] == "1";
            entry.caption = std::string(fields[6]);
            entry.tag = std::string(fields[7]);
            form.items.push_back(std::move(entry));
        }
    }
    return form;
}

}  // namespace

bool ReadFormProbe(HMODULE qorIconDll, FormView& out) {
    if (!qorIconDll) return false;
    const auto describe = reinterpret_cast<DescribeFormFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(qorIconDll, "QorIconDescribeForm")));
    if (!describe) return false;
    std::string buffer(4096, '\0');
    // The menu may grow between two calls (a session adds its items): ask until it fits.
    for (int attempt = 0; attempt < 8; ++attempt) {
        const unsigned needed = describe(buffer.data(), static_cast<unsigned>(buffer.size()));
        if (needed == 0) return false;
        if (needed <= buffer.size()) {
            buffer.resize(needed - 1);
            if (buffer == "none") return false;
            out = Parse(buffer);
            return true;
        }
        buffer.assign(needed, '\0');
    }
    return false;
}

}  // namespace qor::sim::win
