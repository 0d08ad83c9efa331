#include "dnc/app/CommandLine.h"

#include "dnc/config/SubNetConfiguration.h"
#include "dnc/config/TextForms.h"

namespace dnc {

namespace {

// "OPTION VALUE" or "OPTION=VALUE" at arguments[i] (then i is moved past a separate value);
// a missing value is empty.
bool takeValue(const std::vector<std::string>& arguments, std::size_t& i, const std::string& option,
               std::string& value) {
    const std::string& a = arguments[i];
    if (a == option) {
        value = ++i < arguments.size() ? arguments[i] : std::string();
        return true;
    }
    if (a.rfind(option + "=", 0) == 0) {
        value = a.substr(option.size() + 1);
        return true;
    }
    return false;
}

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine line;
    const auto fail = [&line](const std::string& why) {
        line.mode = CommandLine::Mode::Usage;
        line.error = why;
        return line;
    };
    bool headless = false;
    bool demo = false;
    bool checkConfig = false;
    bool demoWindow = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (a.find("ShowInTaskbar") != std::string::npos) {
            line.showInTaskbar = true;
        } else if (a == "--help" || a == "-h") {
            line.mode = CommandLine::Mode::Help;
            return line;
        } else if (a == "--version") {
            line.mode = CommandLine::Mode::Version;
            return line;
        } else if (a == "--headless") {
            headless = true;
        } else if (a == "--system-bus") {
            line.systemBus = true;
        } else if (a == "--demo") {
            demo = true;
        } else if (a == "--check-config") {
            checkConfig = true;
        } else if (a == "--demo-window") {
            demoWindow = true;
            if (i + 1 < arguments.size() && arguments[i + 1].rfind("--", 0) != 0) {
                line.demoProtocol = arguments[++i];
                if (line.demoProtocol != "dnc" && line.demoProtocol != "heidenhain" &&
                    line.demoProtocol != "tavro1" && line.demoProtocol != "plain") {
                    return fail("--demo-window takes dnc, heidenhain, tavro1 or plain, not \"" +
                                line.demoProtocol + "\"");
                }
            }
        } else if (std::string value; takeValue(arguments, i, "--config", value)) {
            if (value.empty()) {
                return fail("--config needs a file");
            }
            line.config = value;
        } else if (std::string value; takeValue(arguments, i, "--history", value)) {
            if (value.empty()) {
                return fail("--history needs a file");
            }
            line.history = value;
        } else if (std::string value; takeValue(arguments, i, "--default-history", value)) {
            if (value.empty()) {
                return fail("--default-history needs a file");
            }
            line.defaultHistory = value;
        } else if (a == "--subnet" || a.rfind("--subnet=", 0) == 0) {
            std::string value;
            if (a == "--subnet") {
                if (++i == arguments.size()) {
                    return fail("--subnet needs a number from 1 to 16");
                }
                value = arguments[i];
            } else {
                value = a.substr(9);
            }
            const auto n = parseInt(value, 1, kSubNetCount);
            if (!n) {
                return fail("--subnet needs a number from 1 to 16, not \"" + value + "\"");
            }
            line.subNets.push_back(static_cast<int>(*n));
        } else {
            return fail("unknown argument \"" + a + "\"");
        }
    }
    if (headless && demo) {
        return fail("--headless and --demo exclude each other");
    }
    if (checkConfig && (headless || demo || demoWindow)) {
        return fail("--check-config goes alone, with --config and --subnet");
    }
    if ((headless || !line.subNets.empty()) && demoWindow) {
        return fail("--demo-window runs a sub net of its own");
    }
    if (line.systemBus && !headless) {
        return fail("--system-bus goes with --headless");
    }
    line.mode = checkConfig  ? CommandLine::Mode::CheckConfig
                : headless   ? CommandLine::Mode::Headless
                : demo       ? CommandLine::Mode::Demo
                : demoWindow ? CommandLine::Mode::DemoWindow
                             : CommandLine::Mode::Windows;
    return line;
}

std::string usageText(const std::string& program) {
    return "Usage:\n"
           "  " +
           program +
           " --headless [--config FILE] [--subnet N]... [--history FILE] [--default-history FILE] "
           "[--system-bus]\n"
           "  " +
           program +
           " --demo\n"
           "  " +
           program +
           " --check-config [--config FILE] [--subnet N]...\n"
           "  " +
           program +
           " [--config FILE] [--subnet N]... [ShowInTaskbar]\n"
           "  " +
           program +
           " --demo-window [dnc|heidenhain|tavro1|plain]\n"
           "  " +
           program +
           " --help\n"
           "  " +
           program +
           " --version\n"
           "\n"
           "--headless      Run the DNC network without a window. Starts the sub nets flagged\n"
           "                for start-up in the settings (section \"Common\", keys \"1\" to "
           "\"16\"),\n"
           "                or those named with --subnet, each on a thread of its own with its\n"
           "                line switched on. Every event and every served or failed request\n"
           "                is logged as one line on standard output: time, sub net caption,\n"
           "                unit, what happened (progress at most once per 10 %). A port that\n"
           "                cannot be opened is logged and retried every 10 s; the other sub\n"
           "                nets go on. SIGINT or SIGTERM stops every line (a running transfer\n"
           "                is stopped so that the unit is told), stores each sub net's\n"
           "                configuration and exits with status 0.\n"
           "                The network is driven over D-Bus (ferixdncctl(1)): this process\n"
           "                owns org.ferixdnc.DNC.instance<PID> and, when free,\n"
           "                org.ferixdnc.DNC on the session bus.\n"
           "(no mode)       The network manager window: the 16 sub nets, On / Off / Show /\n"
           "                Hide, the start-up flags, language and taskbar options; it lives\n"
           "                in the tray. The sub nets flagged for start-up run with their\n"
           "                windows hidden; D-Bus as with --headless. ShowInTaskbar anywhere\n"
           "                on the line keeps the manager in the taskbar. Needs a display;\n"
           "                SIGINT or SIGTERM close every window as its Exit does (status 0).\n"
           "--subnet N      Run sub net N (1 to 16); may be repeated. With --headless instead\n"
           "                of those flagged for start-up; with the manager (or alone) with\n"
           "                its window shown (needs a display). With --check-config: check\n"
           "                only those.\n"
           "--system-bus    With --headless: export on the system bus instead.\n"
           "--config FILE   The settings file. Without it: $FERIXDNC_CONFIG, else\n"
           "                $XDG_CONFIG_HOME/DNC/DNC.ini, else ~/.config/DNC/DNC.ini.\n"
           "                Section \"Ports\", key N, names the device of port N (default\n"
           "                /dev/ttyS<N-1>).\n"
           "--check-config  Read the settings as the service would, print every problem as\n"
           "                FILE:LINE: section/key: message (with the value used instead),\n"
           "                then the sub nets the service would start (or those named with\n"
           "                --subnet) with their ports and whether each device exists and\n"
           "                can be opened. Changes nothing. Exit status 0 when the settings\n"
           "                hold no problem, 1 otherwise; the state of a device does not\n"
           "                count (the service waits for a missing port).\n"
           "--history FILE  The program history (SQLite): every ended program transfer with\n"
           "                its time, unit, direction, size and SHA-256; or a postgresql://\n"
           "                URI of a server that several PCs share. Without it:\n"
           "                HistoryDatabase= in [Common], else --default-history, else\n"
           "                $XDG_STATE_HOME/DNC/history.db, else ~/.local/state/DNC/history.db.\n"
           "--default-history FILE\n"
           "                The history when neither --history nor HistoryDatabase= names one\n"
           "                (the service's own file, while the settings may name a server).\n"
           "--demo          A sub net on a virtual serial line against simulated units: the\n"
           "                units download a program, upload one and ask for their listing;\n"
           "                the operator side pushes a program and reads a memory list.\n"

           "--demo-window   The window of a demo sub net on a virtual serial line against\n"
           "                simulated units (DNC by default), with programs in place.\n"
           "--help          This text.\n"
           "--version       The program's version.\n"
           "\n"
           "An option it does not know makes the program print this text and exit with\n"
           "status 2.\n";
}

}  // namespace dnc
