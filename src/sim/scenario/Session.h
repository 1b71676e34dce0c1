#pragma once
// One scenario run: the phone system and the client, the world around the
// component (native or under Wine), what has been checked so far, and the timeline
// printed while it runs.

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "sim/client/SimClient.h"
#include "sim/dialer/EventPump.h"
#include "sim/dialer/SimDialer.h"
#include "sim/scenario/Script.h"
#include "sim/scenario/World.h"

namespace qor::sim {

struct RunOptions {
    bool timeline = false;  // print what the tray shows and what the client is asked
    bool verbose = false;   // also every event the phone system delivers
    // Makes the world of each scenario; the native world when empty.
    std::function<std::unique_ptr<World>()> makeWorld;
    // Called after every action (not after expectations), e.g. to take a picture.
    std::function<void(const Step& step, World& world)> afterAction;
};

class Session {
  public:
    Session(std::ostream& out, RunOptions options, std::unique_ptr<World> world);
    ~Session();

    // Runs the steps in order. A failed expectation is printed and the run goes on;
    // a ScriptError ends it. Returns the number of failed expectations.
    int Run(const std::vector<Step>& steps);

    // --- The phone system outlives the world, whose component holds its objects.
    EventPump pump;
    PhoneSystem phone{pump};
    std::unique_ptr<World> world;
    std::unique_ptr<SimClient> client;

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
    void PrintEffects(const Snapshot& before, const Recordings& recorded, std::size_t events,
                      std::size_t failures, std::size_t errors);
    void Settle();

    std::ostream& out_;
    RunOptions options_;
    int failed_ = 0;
};

}  // namespace qor::sim
