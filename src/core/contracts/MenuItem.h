#pragma once
// One item of the tray's popup menu tree: plain data that the platform renders.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qor {

struct MenuItem {
    std::string name;         // control name, for example "mnuDial"
    std::int16_t index = -1;  // element index within an item array; -1 for single items
    std::string caption;      // "-" marks a separator
    bool visible = true;
    bool checked = false;
    bool enabled = true;
    std::string tag;
    std::vector<std::unique_ptr<MenuItem>> children;

    bool IsSeparator() const { return caption == "-"; }
    MenuItem& Add(std::string childName, std::string childCaption, bool childVisible,
                  std::int16_t childIndex = -1) {
        auto item = std::make_unique<MenuItem>();
        item->name = std::move(childName);
        item->caption = std::move(childCaption);
        item->visible = childVisible;
        item->index = childIndex;
        children.push_back(std::move(item));
        return *children.back();
    }
};

}  // namespace qor
