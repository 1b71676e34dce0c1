#pragma once
// Text in an XML attribute value, as the installer source and the manifests
// write it.

#include <string>

namespace qor::deploy {

inline std::string Xml(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '"')
            out += "&quot;";
        else
            out += c;
    }
    return out;
}

}  // namespace qor::deploy
