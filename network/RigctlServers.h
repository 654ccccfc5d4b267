#pragma once

#include <span>
#include <string>
#include <string_view>

// The kinds of server that speak the rigctl protocol to Vantrel.
enum class RigctlServerKind { Rigctld, Gqrx, Sdrpp };

// What one kind takes beside frequency, mode and \chk_vfo, which all take.
struct RigctlServer {
    RigctlServerKind kind;
    // As the settings and the command line name it.
    std::string_view name;
    // As the user knows the program.
    std::string_view title;
    // \get_powerstat and \set_powerstat.
    bool power;
    // L AF and L SQL as fractions from 0 to 1.
    bool levels;
    // AOS and LOS, which start and stop the program's recorder.
    bool recorder;
};

// Every kind, rigctld first.
std::span<const RigctlServer> RigctlServers();
const RigctlServer& RigctlServerOf(RigctlServerKind kind);
// Nullptr when `name` names no kind.
const RigctlServer* FindRigctlServer(std::string_view name);
// "rigctld, gqrx or sdrpp", for help and error texts.
std::string RigctlServerNames();

inline constexpr std::string_view kDefaultRigctlAddress = "127.0.0.1:4532";

// Where a network receiver is, and what kind of server answers there.
struct RigctlTarget {
    std::string address{kDefaultRigctlAddress};
    RigctlServerKind kind = RigctlServerKind::Rigctld;
};
