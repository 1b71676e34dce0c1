#pragma once
// The icon library: pictures by icon id. An unknown id fails with a QorError.

#include <cstdint>

#include "core/contracts/Picture.h"

namespace qor {

// The pictures the component asks the library for.
namespace iconid {
inline constexpr std::int16_t kComponent = 1010;  // the tray form's own icon
inline constexpr std::int16_t kClientTelephone = 1661;
inline constexpr std::int16_t kIdle = 10011;
inline constexpr std::int16_t kNotAvailable = 10021;
inline constexpr std::int16_t kNotConnected = 10022;
inline constexpr std::int16_t kRinging = 10031;
inline constexpr std::int16_t kRingingBlink = 10032;    // alternates with kRinging
inline constexpr std::int16_t kCallInProgress = 10041;  // calling, on hold
inline constexpr std::int16_t kTalkingIncoming = 10051;
inline constexpr std::int16_t kTalking = 10052;
inline constexpr std::int16_t kTalkingOutgoing = 10053;
inline constexpr std::int16_t kForwarded = 10061;
inline constexpr std::int16_t kInformation = 10071;
inline constexpr std::int16_t kSpareTelephone = 10081;
inline constexpr std::int16_t kHoverAnswer = 10091;  // pointer over a ringing or held call
inline constexpr std::int16_t kHoverHangUp = 10101;  // pointer over a call in progress
inline constexpr std::int16_t kVoiceMessages = 10111;
inline constexpr std::int16_t kVoiceMessagesBlink = 10112;  // alternates with kVoiceMessages

// Size in pixels of a picture asked for by size (the client's forward icon).
inline constexpr std::int16_t kTraySize = 16;
}  // namespace iconid

class IIconLibrary {
  public:
    virtual ~IIconLibrary() = default;
    virtual PicturePtr GetIcon(std::int16_t& id) = 0;
    virtual PicturePtr GetIconSized(std::int16_t id, std::int16_t size) = 0;
};

}  // namespace qor
