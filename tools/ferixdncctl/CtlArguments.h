// The command line of ferixdncctl: one command with its operands, and the options.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ferixdncctl {

struct CtlArguments {
    enum class Verb {
        Help,
        List,
        Start,
        Stop,
        Show,
        Hide,
        Send,
        Receive,
        Remove,
        MemoryList,
        Command,
        Watch,
        History,       // read the history database; no bus
        ShowProgram,   // print a kept program from it; no bus
        Revisions,     // the revisions of the programs; no bus
        Sites,         // the sites' heartbeats; no bus
        Diff,          // compare two revisions; no bus
        ShowRevision,  // print a revision; no bus
        Accept,        // decide on a revision, through the bus
        Reject,
        Restore
    };
    Verb verb = Verb::Help;
    int subNet = 0;  // 0: none given (watch: every sub net)
    int unit = 0;
    std::string name;        // send, receive, remove: the file; command: the command
    std::string argument;    // command: its argument
    int length = 0;          // receive: 0 = no length
    long long revision = 0;  // accept, reject, restore
    bool json = false;
    bool systemBus = false;
    std::optional<long> instance;  // --instance PID: that process instead of the common name
    // history, show-program: the words after the command, read by the history's own parser
    // (a --json before the command is among them).
    std::vector<std::string> historyArguments;
};

struct ParseResult {
    std::optional<CtlArguments> arguments;
    std::string error;  // set when the line is no valid command
};

ParseResult parseArguments(const std::vector<std::string>& words);

// Whether the command reads the history database rather than talking to a FerixDNC.
bool readsHistory(const CtlArguments& arguments);

// The bus name to talk to.
std::string destination(const CtlArguments& arguments);

std::string helpText(const std::string& program);

}  // namespace ferixdncctl
