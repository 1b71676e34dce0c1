#include "core/clicktocall/TelUrl.h"

#include <algorithm>
#include <cstdio>

namespace qor {

namespace {

struct Refused {
    std::string reason;
};

[[noreturn]] void Refuse(std::string reason) {
    throw Refused{std::move(reason)};
}

std::string CodePoint(char16_t c) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
    return text;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
int HexValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}
bool IsVisualSeparator(char c) {
    return c == '-' || c == '.' || c == '(' || c == ')';
}
char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
std::string LowerText(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = Lower(c);
    return result;
}

// Only plain printable ASCII may reach the decoder: anything else is either a
// look-alike of a dial character or something no dial string can hold.
void CheckRawUnits(std::u16string_view link) {
    for (const char16_t c : link) {
        if (c == 0) Refuse("the link holds a NUL character");
        if (c < 0x20 || c == 0x7F)
            Refuse("the link holds a control character (" + CodePoint(c) + ")");
        if (c > 0x7F)
            Refuse("the link holds a character outside plain ASCII (" + CodePoint(c) + ")");
    }
}

// Percent escapes decoded once: "%2530" stays "%30", which no rule below accepts.
std::string Decode(std::u16string_view link) {
    std::string text;
    text.reserve(link.size());
    for (std::size_t i = 0; i < link.size(); ++i) {
        if (link[i] != u'%') {
            text += static_cast<char>(link[i]);
            continue;
        }
        const int high = i + 1 < link.size() ? HexValue(link[i + 1]) : -1;
        const int low = i + 2 < link.size() ? HexValue(link[i + 2]) : -1;
        if (high < 0 || low < 0)
            Refuse("the link holds a '%' that is not followed by two hex digits");
        const int byte = high * 16 + low;
        const std::string escape =
            "%" + std::string{static_cast<char>(link[i + 1]), static_cast<char>(link[i + 2])};
        if (byte == 0) Refuse("the link holds a NUL character (" + escape + ")");
        if (byte < 0x20 || byte == 0x7F)
            Refuse("the link holds a control character (" + escape + ")");
        if (byte > 0x7F)
            Refuse("the link holds an encoded character outside plain ASCII (" + escape + ")");
        text += static_cast<char>(byte);
        i += 2;
    }
    return text;
}

// What follows the scheme: "tel:" or "callto:", or "callto://" with one optional
// trailing "/" as browsers send it.
std::string_view Subscriber(std::string_view text) {
    const std::string lower = LowerText(text.substr(0, 9));
    if (lower.starts_with("tel:")) return text.substr(4);
    if (lower.starts_with("callto://")) {
        std::string_view rest = text.substr(9);
        if (rest.ends_with('/')) rest.remove_suffix(1);
        return rest;
    }
    if (lower.starts_with("callto:")) return text.substr(7);
    Refuse("the link is not a tel: or callto: link");
}

std::string Quoted(char c) {
    return std::string("'") + c + "'";
}

// The number part, before any ";": dial characters kept, separators dropped.
std::string DialString(std::string_view number) {
    if (number.empty()) Refuse("the link holds no number");
    if (number.front() == ' ' || number.back() == ' ')
        Refuse("the link has a space before or after the number");
    std::string dial;
    bool hasDigit = false;
    for (std::size_t i = 0; i < number.size(); ++i) {
        const char c = number[i];
        if (IsDigit(c) || c == '*' || c == '#') {
            dial += c;
            hasDigit = hasDigit || IsDigit(c);
        } else if (c == '+') {
            if (i != 0) Refuse("the number holds a '+' that does not start it");
            dial += c;
        } else if (IsVisualSeparator(c) || c == ' ') {
            continue;
        } else if (IsLetter(c)) {
            Refuse("the number holds a letter (" + Quoted(c) + ")");
        } else if (c == '"' || c == '\'') {
            Refuse("the number holds a quotation mark (" + Quoted(c) + ")");
        } else {
            Refuse("the number holds a character that cannot be dialled (" + Quoted(c) + ")");
        }
    }
    if (!hasDigit) Refuse("the link holds no number");
    if (dial.size() > kMaxDialLength)
        Refuse("the number is longer than " + std::to_string(kMaxDialLength) + " characters");
    return dial;
}

// RFC 3966 descriptor: global number digits, or a domain name.
bool IsDescriptor(std::string_view value) {
    if (value.empty()) return false;
    if (value.front() == '+') {
        bool hasDigit = false;
        for (const char c : value.substr(1)) {
            if (IsDigit(c))
                hasDigit = true;
            else if (!IsVisualSeparator(c))
                return false;
        }
        return hasDigit;
    }
    // Labels of letters, digits and inner hyphens, separated by single dots; one
    // trailing dot allowed.
    if (value.back() == '.') value.remove_suffix(1);
    std::size_t start = 0;
    while (start <= value.size()) {
        const std::size_t end = std::min(value.find('.', start), value.size());
        const std::string_view label = value.substr(start, end - start);
        if (label.empty() || label.front() == '-' || label.back() == '-') return false;
        for (const char c : label)
            if (!IsLetter(c) && !IsDigit(c) && c != '-') return false;
        start = end + 1;
    }
    return true;
}

// Parameters after the number: each refused unless it changes nothing about what
// is dialled and is well formed.
void CheckParameters(std::string_view parameters, bool globalNumber) {
    bool hasContext = false;
    while (!parameters.empty()) {
        parameters.remove_prefix(1);  // the ';'
        const std::size_t end = std::min(parameters.find(';'), parameters.size());
        const std::string_view parameter = parameters.substr(0, end);
        parameters.remove_prefix(end);
        if (parameter.empty()) Refuse("the link holds an empty parameter");
        const std::size_t equals = parameter.find('=');
        const std::string name = LowerText(parameter.substr(0, equals));
        const std::string_view value =
            equals == std::string_view::npos ? std::string_view() : parameter.substr(equals + 1);
        if (name == "ext")
            Refuse(
                "the link asks for an extension (;ext=), which cannot be dialled with the number");
        if (name == "isub")
            Refuse("the link asks for an ISDN subaddress (;isub=), which cannot be dialled");
        if (name == "phone-context") {
            if (globalNumber) Refuse("a number starting with '+' cannot have a phone-context");
            if (hasContext) Refuse("the link gives the phone-context twice");
            if (!IsDescriptor(value))
                Refuse("the phone-context is neither a '+' number nor a domain name");
            hasContext = true;
            continue;
        }
        std::string shown = std::string(parameter.substr(0, std::min(equals, std::size_t{20})));
        Refuse("the link has a parameter that is not supported (;" + shown + ")");
    }
}

}  // namespace

DialLink ReadDialLink(std::u16string_view link) {
    DialLink result;
    try {
        if (link.size() > kMaxLinkLength)
            Refuse("the link is longer than " + std::to_string(kMaxLinkLength) + " characters");
        CheckRawUnits(link);
        const std::string text = Decode(link);
        const std::string_view subscriber = Subscriber(text);
        const std::string lower = LowerText(subscriber);
        if (lower.find("tel:") != std::string::npos || lower.find("callto:") != std::string::npos ||
            lower.find(',') != std::string::npos)
            Refuse("the link holds more than one number");
        const std::size_t semicolon = std::min(subscriber.find(';'), subscriber.size());
        std::string number = DialString(subscriber.substr(0, semicolon));
        CheckParameters(subscriber.substr(semicolon), number.front() == '+');
        result.number = std::move(number);
    } catch (Refused& refused) {
        result.refusal = std::move(refused.reason);
    }
    return result;
}

std::string PrintableLink(std::u16string_view link, std::size_t limit) {
    std::string text;
    for (std::size_t i = 0; i < link.size() && i < limit; ++i) {
        const char16_t c = link[i];
        if (c >= 0x20 && c < 0x7F)
            text += static_cast<char>(c);
        else
            text += "<" + CodePoint(c) + ">";
    }
    if (link.size() > limit) text += "... (" + std::to_string(link.size()) + " characters)";
    return text;
}

}  // namespace qor
