#pragma once
// A working day of the monitored extension as the tray sees it: calls ringing,
// answered, held, taken back and cleared, dialled calls, forwarding and message
// indications, dial hints, the connection going down and coming back. The
// benchmark feeds it to RefreshNumState; a test records what the outside parts
// are asked for along it.

#include <array>
#include <cstdint>

#include "core/tray/NumState.h"

namespace qor::sim {

inline constexpr std::array<std::int32_t, 24> kWorkingDay = {
    NumEvtOffering,       NumEvtOffering,     NumEvtConnected, NumEvtRefresh,
    NumEvtOnHold,         NumEvtConnected,    NumEvtCleared,   NumEvtRefresh,
    NumEvtDialHint,       NumEvtDialHintEnd,  NumEvtAlerting,  NumEvtConnected,
    NumEvtCleared,        NumEvtForwardSet,   NumEvtRefresh,   NumEvtForwardCleared,
    NumEvtInfo,           NumEvtRefresh,      NumEvtOffering,  NumEvtCleared,
    NumEvtConnectionDown, NumEvtConnectionUp, NumEvtRefresh,   NumEvtCurrentCallSet};

}  // namespace qor::sim
