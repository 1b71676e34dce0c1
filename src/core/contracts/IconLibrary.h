#pragma once
// The icon library: pictures by icon id. An unknown id fails with a QorError.

#include <cstdint>

#include "core/contracts/Picture.h"

namespace qor {

class IIconLibrary {
  public:
    virtual ~IIconLibrary() = default;
    virtual PicturePtr GetIcon(std::int16_t& id) = 0;
    virtual PicturePtr GetIconSized(std::int16_t id, std::int16_t size) = 0;
};

}  // namespace qor
