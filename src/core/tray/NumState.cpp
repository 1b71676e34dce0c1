#include "core/tray/NumState.h"

#include <array>

namespace qor {

namespace {

using P = Presentation;

struct Exit {
    NumEvt evt;
    P presentation;
    NumState next;
};

struct Row {
    NumState state;
    std::span<const Exit> exits;
    P otherPresentation;  // any event the row does not list
    NumState otherNext;
    bool otherUpdatesIdleMode;
};

// Per state, the events that leave it: the presentation applied and the state
// entered. Every other event is handled by the state's row in kTable below.
constexpr Exit kNotAvailable[] = {
    {NumEvtStopMonitoring, P::NotConnected, NumStateNotConnected},
    {NumEvtOffering, P::Ringing, NumStateRinging},
    {NumEvtOnHold, P::OnHold, NumStateOnHold},
    {NumEvtAlerting, P::Calling, NumStateCalling},
    {NumEvtConnected, P::Talking, NumStateTalking},
    {NumEvtForwardSet, P::Idle, NumStateIdle},
    {NumEvtConnectionUp, P::Idle, NumStateIdle},
};
constexpr Exit kNotConnected[] = {
    {NumEvtStartMonitoring, P::NotAvailable, NumStateNotAvailable},
};
constexpr Exit kRinging[] = {
    {NumEvtStartMonitoring, P::NotAvailable, NumStateNotAvailable},
    {NumEvtConnectionDown, P::NotAvailable, NumStateNotAvailable},
    {NumEvtStopMonitoring, P::NotConnected, NumStateNotConnected},
    {NumEvtAlerting, P::Calling, NumStateCalling},
    {NumEvtConnected, P::Talking, NumStateTalking},
    {NumEvtCleared, P::Cleared, NumStateCleared},
};
constexpr Exit kOnHold[] = {
    {NumEvtStartMonitoring, P::NotAvailable, NumStateNotAvailable},
    {NumEvtConnectionDown, P::NotAvailable, NumStateNotAvailable},
    {NumEvtStopMonitoring, P::NotConnected, NumStateNotConnected},
    {NumEvtOffering, P::Ringing, NumStateRinging},
    {NumEvtConnected, P::Talking, NumStateTalking},
    {NumEvtCleared, P::Cleared, NumStateCleared},
};
constexpr Exit kCalling[] = {
    {NumEvtStartMonitoring, P::NotAvailable, NumStateNotAvailable},
    {NumEvtConnectionDown, P::NotAvailable, NumStateNotAvailable},
    {NumEvtStopMonitoring, P::NotConnected, NumStateNotConnected},
    {NumEvtConnected, P::Talking, NumStateTalking},
    {NumEvtCleared, P::Cleared, NumStateCleared},
};
constexpr Exit kTalking[] = {
    {NumEvtStartMonitoring, P::NotAvailable, NumStateNotAvailable},
    {NumEvtConnectionDown, P::NotAvailable, NumStateNotAvailable},
    {NumEvtStopMonitoring, P::NotConnected, NumStateNotConnected},
    {NumEvtOffering, P::Ringing, NumStateRinging},
    {NumEvtOnHold, P::OnHold, NumStateOnHold},
    {NumEvtCleared, P::Cleared, NumStateCleared},
};
constexpr Exit kHidden[] = {
    {NumEvtCurrentCallSet, P::None, NumStateWaiting},
};
constexpr Exit kWaiting[] = {
    {NumEvtStartMonitoring, P::NotAvailable, NumStateNotAvailable},
    {NumEvtStopMonitoring, P::NotConnected, NumStateNotConnected},
};
constexpr Exit kCleared[] = {
    {NumEvtStartMonitoring, P::NotAvailable, NumStateNotAvailable},
    {NumEvtConnectionDown, P::NotAvailable, NumStateNotAvailable},
    {NumEvtStopMonitoring, P::NotConnected, NumStateNotConnected},
    {NumEvtOffering, P::Ringing, NumStateRinging},
    {NumEvtOnHold, P::OnHold, NumStateOnHold},
    {NumEvtAlerting, P::Calling, NumStateCalling},
    {NumEvtConnected, P::Talking, NumStateTalking},
    {NumEvtConnectionUp, P::Idle, NumStateIdle},
};
constexpr Exit kIdle[] = {
    {NumEvtStopMonitoring, P::NotConnected, NumStateNotConnected},
    {NumEvtOffering, P::Ringing, NumStateRinging},
    {NumEvtOnHold, P::OnHold, NumStateOnHold},
    {NumEvtAlerting, P::Calling, NumStateCalling},
    {NumEvtConnected, P::Talking, NumStateTalking},
    {NumEvtConnectionDown, P::NotAvailable, NumStateNotAvailable},
};

// Indexed by state. A state's own presentation is applied again for any event it
// does not route elsewhere, so the display catches up with whatever changed;
// only the cleared and idle states let such an event choose the idle display,
// and a cleared call settles into the idle state with the next one.
constexpr std::array<Row, 10> kTable = {{
    {NumStateNotAvailable, kNotAvailable, P::NotAvailable, NumStateNotAvailable, false},
    {NumStateNotConnected, kNotConnected, P::NotConnected, NumStateNotConnected, false},
    {NumStateRinging, kRinging, P::Ringing, NumStateRinging, false},
    {NumStateOnHold, kOnHold, P::OnHold, NumStateOnHold, false},
    {NumStateCalling, kCalling, P::Calling, NumStateCalling, false},
    {NumStateTalking, kTalking, P::Talking, NumStateTalking, false},
    {NumStateCleared, kCleared, P::Cleared, NumStateIdle, true},
    {NumStateWaiting, kWaiting, P::None, NumStateWaiting, false},
    {NumStateHidden, kHidden, P::Hide, NumStateHidden, false},
    {NumStateIdle, kIdle, P::Idle, NumStateIdle, true},
}};

constexpr bool RowsInStateOrder() {
    for (std::size_t i = 0; i < kTable.size(); ++i)
        if (kTable[i].state != static_cast<std::int32_t>(i)) return false;
    return true;
}
static_assert(RowsInStateOrder(), "kTable is indexed by state");

// The rows spread out into one cell per state and event, so that an event costs
// one indexed read instead of a search through its state's exits.
constexpr std::size_t kEventCount = NumEvtConnectionDown + 1;

constexpr auto kCells = [] {
    std::array<std::array<Transition, kEventCount>, kTable.size()> cells{};
    for (const Row& row : kTable) {
        auto& line = cells[static_cast<std::size_t>(row.state)];
        line.fill(Transition{row.otherPresentation, row.otherNext, row.otherUpdatesIdleMode});
        for (const Exit& e : row.exits)
            line[static_cast<std::size_t>(e.evt)] = Transition{e.presentation, e.next, false};
    }
    return cells;
}();

}  // namespace

std::optional<Transition> LookupTransition(std::int32_t state, std::int32_t evt) {
    if (state < 0 || state >= static_cast<std::int32_t>(kTable.size())) return std::nullopt;
    if (evt >= 0 && evt < static_cast<std::int32_t>(kEventCount))
        return kCells[static_cast<std::size_t>(state)][static_cast<std::size_t>(evt)];
    const Row& row = kTable[static_cast<std::size_t>(state)];
    return Transition{row.otherPresentation, row.otherNext, row.otherUpdatesIdleMode};
}

}  // namespace qor
