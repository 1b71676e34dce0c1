#pragma once
// One scenario run: the simulated world (platform, outside components, phone
// system, client, component runtime), what has been checked so far, and the
// timeline printed while it runs.

#include <cstddef>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "core/clicktocall/ClickToCall.h"
#include "core/host/Runtime.h"
#include "native/FakeComponents.h"
#include "native/NativePlatform.h"
#include "sim/client/SimClient.h"
#include "sim/dialer/EventPump.h"
#include "sim/dialer/SimDialer.h"
#include "sim/scenario/Script.h"

namespace qor::sim {

struct RunOptions {
    bool timeline = false;  // print what the tray shows and what the client is asked
    bool verbose = false;   // also every event the phone system delivers
};

class Session {
  public:
    Session(std::ostream& out, RunOptions options);
    ~Session();

    // Runs the steps in order. A failed expectation is printed and the run goes on;
    // a ScriptError ends it. Returns the number of failed expectations.
    int Run(const std::vector<Step>& steps);

    // --- The world.
    NativePlatform platform;
    FakeOutsideComponents components;
    EventPump pump;
    PhoneSystem phone{pump};
    std::unique_ptr<Runtime> runtime;
    std::unique_ptr<SimClient> client;
    std::unique_ptr<ClickToCall> clickToCall;

    FakeTrayItem* TrayItem();  // null before the control exists
    frmMain* Form();           // null before the form exists
    ClickToCall& ClickToCallObject();

    // --- What the expectations have consumed of each recording.
    std::size_t eventsSeen = 0;
    std::size_t messagesSeen = 0;
    int beepsSeen = 0;
    std::size_t processesSeen = 0;
    std::size_t debugSeen = 0;
    std::size_t logSeen = 0;
    std::size_t foregroundSeen = 0;
    std::size_t dragsSeen = 0;
    std::size_t failuresSeen = 0;
    std::size_t errorsSeen = 0;
    // Errors the component returned from a call or a handler (client calls, tray
    // events, dialer events); each one must be expected.
    std::vector<std::string> componentErrors;

    // The popup choice for the next right press: item name as NativePlatform
    // names it; empty: dismiss.
    std::string popupChoice;
    bool popupChoiceTaken = false;
    bool popupChoiceFound = false;
    std::map<std::string, std::size_t> menuSelectionsSeen;  // by session key

    // Reports one failed expectation of the current step.
    void Fail(const std::string& expected, const std::string& actual);
    // Raises a ScriptError for the current step.
    [[noreturn]] void Impossible(const std::string& message);
    void Say(const std::string& text);  // narration in the timeline

    const Step* current = nullptr;

  private:
    struct Snapshot {
        std::string tray;
        std::string menu;
        bool operator==(const Snapshot&) const = default;
    };
    Snapshot Take();
    void PrintEffects(const Snapshot& before, std::size_t events, std::size_t messages, int beeps,
                      std::size_t processes, std::size_t failures, std::size_t errors);

    std::ostream& out_;
    RunOptions options_;
    int failed_ = 0;
};

}  // namespace qor::sim
