#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/settings/RigctlChoice.h"

namespace {

using Kind = RigctlServerKind;

const std::string kHow =
    "Give the address as HOST:PORT, such as 127.0.0.1:4532: a host name or address, a colon and "
    "a port from 1 to 65535 (an IPv6 address in brackets, as [::1]:4532).";

}  // namespace

TEST(RigctlChoiceTest, TheDialogGivesATargetOrSaysWhyNot) {
    struct Case {
        std::string typed;
        std::size_t kindIndex;
        std::optional<RigctlTarget> target;
        std::string problem;
    };
    for (const Case& row : std::vector<Case>{
             {"127.0.0.1:4532", 0, RigctlTarget{"127.0.0.1:4532", Kind::Rigctld}, ""},
             // Blanks a paste brings along do not count.
             {" \tsdr.local:7356 \n", 1, RigctlTarget{"sdr.local:7356", Kind::Gqrx}, ""},
             {"[::1]:4532", 2, RigctlTarget{"[::1]:4532", Kind::Sdrpp}, ""},
             {"", 0, std::nullopt, kHow},
             {"  ", 0, std::nullopt, kHow},
             {"127.0.0.1", 0, std::nullopt, "<127.0.0.1> is no address. " + kHow},
             {"127.0.0.1:4532", 3, std::nullopt,
              "Choose the kind of server: rigctld, gqrx or sdrpp."},
         }) {
        const RigctlFormAnswer answer = ReadRigctlForm(row.typed, row.kindIndex);
        EXPECT_EQ(answer.target, row.target) << row.typed;
        EXPECT_EQ(answer.problem, row.problem) << row.typed;
    }
    // The dialog lists the kinds in the order it reads them back.
    for (const Kind kind : {Kind::Rigctld, Kind::Gqrx, Kind::Sdrpp}) {
        EXPECT_EQ(ReadRigctlForm("h:1", RigctlKindIndex(kind)).target->kind, kind);
    }
}
