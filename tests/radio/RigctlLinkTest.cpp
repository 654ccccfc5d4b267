#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "radio/RigctlLink.h"
#include "tests/support/FakeRigctlServer.h"
#include "tests/support/GermanLocale.h"
#include "tests/support/Loopback.h"
#include "tests/support/RunParts.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempDir.h"

namespace {

using namespace std::chrono_literals;
using Strings = std::vector<std::string>;
using Fault = FakeRigctlServer::Fault;
using Kind = RigctlServerKind;

// DSP settings on both lines: they are said to be left out once a run.
constexpr std::string_view kCatalogue =
    "METEOR-M2 3, 137.9, WFM, 230, 50, 30, DSPON, 50\n"
    "DEFAULT, 137.1, FM, 15, 0, 100, DSPOFF, 0\n";
constexpr PassSpan kPass{1'800'000'000, 1'800'000'900};

const Strings kIdle{"F 137100000", "f", "M FM 15000", "m"};
const Strings kIdleLevels{"L AF 0", "l AF", "L SQL 1", "l SQL"};
const Strings kPassTuning{"F 137900000", "f", "M WFM 230000", "m"};
const Strings kPassLevels{"L AF 0.5", "l AF", "L SQL 0.3", "l SQL"};

Strings Joined(std::initializer_list<Strings> parts) {
    Strings joined;
    for (const Strings& part : parts) {
        joined.insert(joined.end(), part.begin(), part.end());
    }
    return joined;
}

// The fake's commands once there are `count` (the last, "q", is not awaited).
Strings CommandsOnceThere(const FakeRigctlServer& server, std::size_t count) {
    for (int wait = 0; wait < 500 && server.Commands().size() < count; ++wait) {
        std::this_thread::sleep_for(10ms);
    }
    return server.Commands();
}

// The tail of `all` as long as `tail`.
Strings Last(const Strings& all, const Strings& tail) {
    return Strings(all.end() - static_cast<std::ptrdiff_t>(std::min(all.size(), tail.size())),
                   all.end());
}

class RigctlLinkTest : public ::testing::Test, protected RunParts {
protected:
    RigctlLinkTest() { dir.Write("Vantrel.ini", kCatalogue); }

    void StartUp(Kind kind, const std::string& address) {
        view.RemoveAllLines();
        tunings.sent.clear();
        link.SetTarget({address, kind});
        ASSERT_TRUE(link.StartUp());
    }
    // A retune as the run sends it: METEOR-M2 3 for a pass, DEFAULT after.
    void Retune(const std::string& satellite) {
        ASSERT_TRUE(catalogue.LoadSatellite(satellite));
        exchange.RequestRetune(satellite == "DEFAULT" ? std::nullopt : std::optional(kPass));
        scheduler.ServeWriteEvent(link);
    }
    void CheckAfter(std::time_t seconds) {
        now += seconds;
        link.OnCheck();
    }
    std::size_t Logged(std::string_view text) const { return view.Count(text); }

    TempDir dir;
    ScopedWorkingDirectory inDir{dir.Path()};
    std::time_t now = kPass.start;
    RigctlLink link{log, [this] { return now; }, RigctlLimits{5s, 1s, 10}};
};

}  // namespace

// Under a German locale: a decimal comma must not reach the wire, where
// rigctld reads "F 137,9" as 137 Hz and "L AF 0,5" as 0.
TEST_F(RigctlLinkTest, EachKindGetsWhatItTakesAndEverySettingIsReadBack) {
    const ScopedGermanLocale german;
    ASSERT_TRUE(german.IsSet());
    const Strings power{"\\get_powerstat", "\\set_powerstat 1"};
    const Strings sdr = Joined({{"\\chk_vfo"}, kIdle, kPassTuning, {"AOS", "LOS"}, kIdle, {"q"}});
    for (const auto& [kind, expected] : std::vector<std::pair<Kind, Strings>>{
             {Kind::Rigctld, Joined({{"\\chk_vfo"},
                                     power,
                                     kIdle,
                                     kIdleLevels,
                                     kPassTuning,
                                     kPassLevels,
                                     kIdle,
                                     kIdleLevels,
                                     {"\\set_powerstat 0", "q"}})},
             {Kind::Gqrx, sdr},
             {Kind::Sdrpp, sdr}}) {
        const bool sdrProgram = kind != Kind::Rigctld;
        SCOPED_TRACE(RigctlServerOf(kind).name);
        const FakeRigctlServer server(kind);
        StartUp(kind, server.Address());
        Retune("DEFAULT");
        Retune("METEOR-M2 3");
        Retune("DEFAULT");
        link.ShutDown();

        EXPECT_EQ(CommandsOnceThere(server, expected.size()), expected);
        EXPECT_EQ(link.Name(), RigctlServerOf(kind).name);
        EXPECT_EQ(tunings.sent.size(), 3u);
        EXPECT_EQ(Logged("Radio Talking"), 1u);
        EXPECT_EQ(Logged("Radio ON - all Ok"), 1u);
        EXPECT_EQ(Logged("Got Radio Command"), 18u);
        EXPECT_EQ(Logged("DSP settings are for the PCR-1000 only: left out"), 1u);
        EXPECT_EQ(
            Logged("Volume and squelch are left to " + std::string(RigctlServerOf(kind).title)),
            sdrProgram ? 1u : 0u);
        EXPECT_EQ(Logged("Receiver"), 0u);
    }
}

TEST_F(RigctlLinkTest, ASettingRefusedOrNotKeptIsLoggedWithWhatWasAsked) {
    const Strings allModes{"LSB", "USB", "AM", "CW", "FM", "WFM"};
    struct Case {
        Kind server;
        Kind link;
        Strings modes;
        std::string logged;
    };
    for (const Case& row : std::vector<Case>{
             // rigctld takes an unknown mode with RPRT 0 and keeps its own.
             {Kind::Rigctld,
              Kind::Rigctld,
              {"FM", "AM"},
              "Receiver kept <FM 15000> mode, asked <WFM 230000>"},
             {Kind::Sdrpp, Kind::Sdrpp, {"FM", "AM"}, "Receiver refused <M WFM 230000>: RPRT 1"},
             // gqrx taken for rigctld: its squelch is in dBFS, and it has no volume.
             {Kind::Gqrx, Kind::Rigctld, allModes, "Receiver kept <0> squelch, asked <0.3>"}}) {
        SCOPED_TRACE(row.logged);
        FakeRigctlServer server(row.server);
        server.SetKnownModes(row.modes);
        StartUp(row.link, server.Address());
        Retune("METEOR-M2 3");
        EXPECT_EQ(Logged(row.logged), 1u);
        EXPECT_EQ(Logged("Receiver kept"), 1u);
        EXPECT_TRUE(tunings.sent.empty());
        EXPECT_EQ(Logged("lost"), 0u);
    }
}

TEST_F(RigctlLinkTest, ARadioTheLastRunSwitchedOffIsSwitchedOnAgain) {
    const FakeRigctlServer server(Kind::Rigctld);
    StartUp(Kind::Rigctld, server.Address());
    link.ShutDown();
    StartUp(Kind::Rigctld, server.Address());
    EXPECT_EQ(Logged("Radio OFF"), 1u);
    const Strings again{"\\chk_vfo", "\\get_powerstat", "\\set_powerstat 1"};
    EXPECT_EQ(Last(server.Commands(), again), again);
}

// Under Latin-1 (0xFF a letter) a garbled reply is quoted in ASCII all the same.
TEST_F(RigctlLinkTest, AReceiverThatGoesAwayIsSaidOnceAndTunedAgainWhenBack) {
    const ScopedGermanLocale german;
    ASSERT_TRUE(german.IsSet());
    enum class Away { Fault, Newcomer, Restart };
    struct Case {
        Kind kind;
        Away away;
        Fault fault;
        std::string word;
        std::string reason;
    };
    for (const Case& row : std::vector<Case>{
             {Kind::Gqrx, Away::Fault, Fault::CloseMidCommand, "M",
              "<M WFM 230000>: the server closed the connection"},
             {Kind::Sdrpp, Away::Fault, Fault::GoSilent, "f", "<f>: no reply within 1 s"},
             {Kind::Rigctld, Away::Fault, Fault::Garbage, "f",
              "<f>: the reply <?? garbage ?> does not fit"},
             {Kind::Gqrx, Away::Fault, Fault::EndlessLine, "f",
              "<f>: a line longer than 1024 bytes"},
             // gqrx closes the connection it had when another client comes.
             {Kind::Gqrx, Away::Newcomer, {}, "", "the server closed the connection"},
             {Kind::Sdrpp, Away::Restart, {}, "", "the server closed the connection"}}) {
        SCOPED_TRACE(row.reason);
        std::optional<FakeRigctlServer> server(std::in_place, row.kind);
        const std::uint16_t serverPort = server->Port();
        StartUp(row.kind, server->Address());
        Retune("DEFAULT");
        UniqueFd newcomer;
        if (row.away == Away::Fault) {
            server->ArmFault(row.fault, row.word);
        } else if (row.away == Away::Newcomer) {
            newcomer = ConnectToLoopback(serverPort);
        } else {
            server.reset();
        }
        // A check notices a closed connection before any command does.
        for (int wait = 0; row.away != Away::Fault && Logged("lost") == 0 && wait < 500; ++wait) {
            std::this_thread::sleep_for(10ms);
            link.OnCheck();
        }
        Retune("METEOR-M2 3");
        EXPECT_EQ(Logged("lost (" + row.reason), 1u);
        EXPECT_EQ(tunings.sent.size(), 1u);

        const std::size_t before = server ? server->Commands().size() : 0;
        CheckAfter(9);
        EXPECT_EQ(server ? server->Commands().size() : 0, before) << "tried again too soon";
        if (row.away == Away::Restart) {
            CheckAfter(10);
            server.emplace(row.kind, serverPort);
        }
        for (int check = 0; check < 3 && Logged(" back") == 0; ++check) {
            CheckAfter(10);
        }
        ASSERT_EQ(Logged("Receiver at 127.0.0.1:" + std::to_string(serverPort) + " back"), 1u);
        EXPECT_EQ(Logged("lost"), 1u);
        const Strings again = row.kind == Kind::Rigctld ? Joined({kPassTuning, kPassLevels})
                                                        : Joined({kPassTuning, {"AOS"}});
        EXPECT_EQ(Last(server->Commands(), again), again);
        link.ShutDown();
    }
}

TEST_F(RigctlLinkTest, AReceiverThatCannotBeReachedIsNamedWithTheReason) {
    std::uint16_t closedPort = 0;
    {
        const FakeRigctlServer gone(Kind::Gqrx);
        closedPort = gone.Port();
    }
    // SDR++ serves one client, and turns the next away.
    const FakeRigctlServer sdrpp(Kind::Sdrpp);
    const UniqueFd holder = ConnectToLoopback(sdrpp.Port());
    for (const auto& [address, kind, reason] :
         std::vector<std::tuple<std::string, Kind, std::string>>{
             {LoopbackText(closedPort), Kind::Rigctld, "Connection refused"},
             {"127.0.0.1", Kind::Rigctld, "that is no address of the form HOST:PORT"},
             {sdrpp.Address(), Kind::Sdrpp, "<\\chk_vfo>: the server closed the connection"}}) {
        link.SetTarget({address, kind});
        try {
            link.StartUp();
            ADD_FAILURE() << address << " reached";
        } catch (const ReceiverUnreachable& error) {
            EXPECT_EQ(error.what(), "The receiver at " + address + " cannot be reached: " + reason);
        }
    }
}
