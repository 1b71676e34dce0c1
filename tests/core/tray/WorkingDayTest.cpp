// The benchmark's working day, call by call: every call the tray makes on its
// outside parts, with its arguments, and the menu it leaves, against a recording
// kept beside this file. Making an event cheaper must not change any of it.
//
// To record anew after an intended change of behaviour, run the test with
// QOR_RECORD_WORKING_DAY=1 and review the difference of the .log files.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/tray/TrayFixture.h"
#include "sim/client/WorkingDay.h"

namespace qor::testing {
namespace {

class WorkingDayTest : public TrayTest, public ::testing::WithParamInterface<bool> {
  protected:
    // One line per event: the event and the state it leads to, the calls on the
    // outside parts, then Dial, Answer, Hang Up and Connect ('+' shown), the Dial
    // caption and the default item.
    std::string RunDay(bool leftClickDials) {
        StartWithExtension(leftClickDials);
        Connect();
        phone.IncomingCall("0301234");
        pump.Pump();
        components.trayIcon->item().calls = &calls;
        components.captionTranslator->calls = &calls;
        components.stringTable->calls = &calls;
        components.iconLibrary->calls = &calls;

        std::ostringstream out;
        for (int round = 0; round < 2; ++round) {
            for (std::int32_t evt : sim::kWorkingDay) {
                calls.clear();
                Feed(evt);
                out << "evt " << evt << " -> " << form().CurrentState() << " |";
                for (const auto& call : calls) out << ' ' << call << ';';
                out << " |";
                for (const char* name : {"mnuDial", "mnuAnswer", "mnuHangUp", "mnuConnect"})
                    out << ' ' << name + 3 << (Item(name).visible ? '+' : '-');
                const MenuItem* byDefault = form().DefaultMenuItem();
                out << " \"" << Item("mnuDial").caption << "\" default "
                    << (byDefault ? byDefault->name : "none") << '\n';
            }
        }
        return out.str();
    }

    CallLog calls;
};

TEST_P(WorkingDayTest, TheOutsidePartsAreAskedWhatTheRecordingSays) {
    const bool leftClickDials = GetParam();
    const auto file = std::filesystem::path(__FILE__).parent_path() /
                      (leftClickDials ? "WorkingDay.dials.log" : "WorkingDay.opens.log");
    const std::string actual = RunDay(leftClickDials);
    if (std::getenv("QOR_RECORD_WORKING_DAY")) std::ofstream(file) << actual;

    std::ifstream in(file);
    ASSERT_TRUE(in) << file;
    std::istringstream got(actual);
    std::string want, line;
    int number = 0;
    while (std::getline(in, want)) {
        ++number;
        ASSERT_TRUE(std::getline(got, line)) << file << ':' << number << " missing";
        ASSERT_EQ(line, want) << file << ':' << number;
    }
    EXPECT_FALSE(std::getline(got, line)) << "more events than recorded: " << line;
    EXPECT_EQ(number, 2 * static_cast<int>(sim::kWorkingDay.size()));
}

INSTANTIATE_TEST_SUITE_P(LeftClick, WorkingDayTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Dials" : "OpensClient"; });

}  // namespace
}  // namespace qor::testing
