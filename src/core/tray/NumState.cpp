#include "core/tray/NumState.h"

#include <array>

namespace qor {

namespace {

using P = Presentation;

struct Exit {
    std::int32_t evt;
    P presentation;
    std::int32_t next;
};

struct Row {
    std::int32_t state;
    std::span<const Exit> exits;
    P otherPresentation;  // any event the row does not list
    std::int32_t otherNext;
    bool otherUpdatesIdleMode;
};

// One line per state, in the order a reader compares them with the design of the
// tray: the events that leave the state, then what any other event does.
constexpr Exit kNotAvailable[] = {{1, P::NotConnected, 1}, {4, P::Ringing, 2}, {5, P::OnHold, 3},
                                  {6, P::Calling, 4},      {7, P::Talking, 5}, {8, P::Idle, 9},
                                  {15, P::Idle, 9}};
constexpr Exit kNotConnected[] = {{0, P::NotAvailable, 0}};
constexpr Exit kRinging[] = {{0, P::NotAvailable, 0}, {16, P::NotAvailable, 0},
                             {1, P::NotConnected, 1}, {6, P::Calling, 4},
                             {7, P::Talking, 5},      {10, P::Cleared, 6}};
constexpr Exit kOnHold[] = {{0, P::NotAvailable, 0}, {16, P::NotAvailable, 0},
                            {1, P::NotConnected, 1}, {4, P::Ringing, 2},
                            {7, P::Talking, 5},      {10, P::Cleared, 6}};
constexpr Exit kCalling[] = {{0, P::NotAvailable, 0},
                             {16, P::NotAvailable, 0},
                             {1, P::NotConnected, 1},
                             {7, P::Talking, 5},
                             {10, P::Cleared, 6}};
constexpr Exit kTalking[] = {{0, P::NotAvailable, 0}, {16, P::NotAvailable, 0},
                             {1, P::NotConnected, 1}, {4, P::Ringing, 2},
                             {5, P::OnHold, 3},       {10, P::Cleared, 6}};
constexpr Exit kHidden[] = {{11, P::None, 7}};
constexpr Exit kWaiting[] = {{0, P::NotAvailable, 0}, {1, P::NotConnected, 1}};
constexpr Exit kCleared[] = {
    {0, P::NotAvailable, 0}, {16, P::NotAvailable, 0}, {1, P::NotConnected, 1}, {4, P::Ringing, 2},
    {5, P::OnHold, 3},       {6, P::Calling, 4},       {7, P::Talking, 5},      {15, P::Idle, 9}};
constexpr Exit kIdle[] = {{1, P::NotConnected, 1}, {4, P::Ringing, 2}, {5, P::OnHold, 3},
                          {6, P::Calling, 4},      {7, P::Talking, 5}, {16, P::NotAvailable, 0}};

constexpr std::array<Row, 10> kTable = {{
    {NumStateNotAvailable, kNotAvailable, P::NotAvailable, 0, false},
    {NumStateNotConnected, kNotConnected, P::NotConnected, 1, false},
    {NumStateRinging, kRinging, P::Ringing, 2, false},
    {NumStateOnHold, kOnHold, P::OnHold, 3, false},
    {NumStateCalling, kCalling, P::Calling, 4, false},
    {NumStateTalking, kTalking, P::Talking, 5, false},
    {NumStateCleared, kCleared, P::Cleared, 9, true},
    {NumStateWaiting, kWaiting, P::None, 7, false},
    {NumStateHidden, kHidden, P::Hide, 8, false},
    {NumStateIdle, kIdle, P::Idle, 9, true},
}};

}  // namespace

std::optional<Transition> LookupTransition(std::int32_t state, std::int32_t evt) {
    if (state < 0 || state >= static_cast<std::int32_t>(kTable.size())) return std::nullopt;
    const Row& row = kTable[static_cast<std::size_t>(state)];
    for (const Exit& e : row.exits)
        if (e.evt == evt) return Transition{e.presentation, e.next, false};
    return Transition{row.otherPresentation, row.otherNext, row.otherUpdatesIdleMode};
}

}  // namespace qor
