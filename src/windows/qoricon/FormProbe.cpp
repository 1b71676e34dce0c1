// QorIconDescribeForm: a read-only diagnostic export for support tools and the
// scenario runner. It describes the tray form of this process as text (its state,
// its default item and its menu tree) without touching anything, so a caller can
// see what the component shows without opening the popup. It never creates the
// runtime or the form, and nothing thrown inside may leave it.

#include <windows.h>

#include <cstring>
#include <string>

#include "core/contracts/MenuItem.h"
#include "core/host/Runtime.h"
#include "core/tray/frmMain.h"

namespace {

// The name the scenarios use: "mnuDial", an array element as "mnuAppSession(0)".
std::string ItemName(const qor::MenuItem& item) {
    if (item.index < 0) return item.name;
    return item.name + "(" + std::to_string(item.index) + ")";
}

// Tabs and line breaks separate the fields and lines of the answer.
std::string Field(std::string text) {
    for (char& c : text)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    return text;
}

void DescribeItems(const qor::MenuItem& parent, int depth, std::string& out) {
    for (const auto& child : parent.children) {
        const qor::MenuItem& item = *child;
        out += "\nitem\t" + std::to_string(depth) + '\t' + Field(ItemName(item)) + '\t' +
               (item.visible ? '1' : '0') + '\t' + (item.checked ? '1' : '0') + '\t' +
               (item.IsSeparator() ? '1' : '0') + '\t' + Field(item.caption) + '\t' +
               Field(item.tag);
        DescribeItems(item, depth + 1, out);
    }
}

std::string DescribeForm() {
    qor::Runtime* runtime = qor::Runtime::Current();
    // Form() would create the form on first touch: only an existing one is read.
    if (!runtime || !runtime->FormExists()) return "none";
    const qor::frmMain& form = runtime->Form();
    std::string out = "state " + std::to_string(form.CurrentState());
    const qor::MenuItem* defaultItem = form.DefaultMenuItem();
    out += "\ndefault " + (defaultItem ? Field(ItemName(*defaultItem)) : std::string("none"));
    DescribeItems(form.MenuRoot(), 0, out);
    return out;
}

}  // namespace

// Writes at most `size` bytes, always terminated when size > 0, and returns the
// size the whole answer needs with its terminator: a caller whose buffer was too
// small asks again with that size.
extern "C" unsigned __stdcall QorIconDescribeForm(char* buffer, unsigned size) {
    std::string text;
    try {
        text = DescribeForm();
    } catch (...) {
        text.clear();
    }
    if (text.empty()) text = "none";  // also when even the answer could not be built
    if (buffer && size > 0) {
        const std::size_t n = text.size() < size ? text.size() : size - 1;
        std::memcpy(buffer, text.data(), n);
        buffer[n] = '\0';
    }
    return static_cast<unsigned>(text.size() + 1);
}
