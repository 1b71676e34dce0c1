#pragma once
// A picture handed out by the icon library and set on the tray icon item. The core
// never looks inside; the id says which icon it is, for traces and tests.

#include <cstdint>
#include <memory>

namespace qor {

class IPicture {
  public:
    virtual ~IPicture() = default;
    virtual std::int32_t IconId() const = 0;
};
using PicturePtr = std::shared_ptr<IPicture>;

}  // namespace qor
