#pragma once
// States, events and idle display modes of the extension shown in the tray, and
// the transition table of RefreshNumState as plain data.

#include <cstdint>
#include <optional>
#include <span>

namespace qor {

enum NumState : std::int32_t {
    NumStateNotAvailable = 0,
    NumStateNotConnected = 1,
    NumStateRinging = 2,
    NumStateOnHold = 3,
    NumStateCalling = 4,
    NumStateTalking = 5,
    NumStateCleared = 6,
    NumStateWaiting = 7,
    NumStateHidden = 8,
    NumStateIdle = 9,
};

enum NumEvt : std::int32_t {
    NumEvtStartMonitoring = 0,
    NumEvtStopMonitoring = 1,
    NumEvtDialHint = 2,
    NumEvtDialHintEnd = 3,
    NumEvtOffering = 4,
    NumEvtOnHold = 5,
    NumEvtAlerting = 6,
    NumEvtConnected = 7,
    NumEvtForwardSet = 8,
    NumEvtForwardCleared = 9,
    NumEvtCleared = 10,
    NumEvtCurrentCallSet = 11,
    NumEvtInfo = 13,
    NumEvtRefresh = 14,
    NumEvtConnectionUp = 15,
    NumEvtConnectionDown = 16,
};

enum IdleMode : std::int32_t {
    IdlePlain = 0,
    IdleForwarded = 1,
    IdleInfo = 2,
    IdleDialHint = 3,
    IdleKeep = 4,
};

enum class Presentation : std::uint8_t {
    None,
    NotAvailable,
    NotConnected,
    Idle,
    Ringing,
    Calling,
    Talking,
    OnHold,
    Cleared,
    Hide,
};

struct Transition {
    Presentation presentation;
    std::int32_t next;
    // An event the cleared or idle state does not route elsewhere: it decides
    // what the idle display shows before the idle presentation runs.
    bool updateIdleMode;
};

// The transition for (state, event); nullopt for a state outside the table.
std::optional<Transition> LookupTransition(std::int32_t state, std::int32_t evt);

// The idle display mode after `evt` in states 6 and 9. `fromExtension` is what
// GetIdleDisplayMode says; it is asked only for the events that need it.
template <class GetIdleMode>
std::int32_t UpdatedIdleMode(std::int32_t current, std::int32_t evt, GetIdleMode&& fromExtension) {
    switch (evt) {
        case NumEvtInfo:
            return IdleInfo;
        case NumEvtForwardSet:
            return IdleForwarded;
        case NumEvtDialHint:
            return IdleDialHint;
        case NumEvtForwardCleared:
        case NumEvtDialHintEnd:
            return fromExtension();
        case NumEvtRefresh:
            return current;
        default:
            return IdleKeep;
    }
}

}  // namespace qor
