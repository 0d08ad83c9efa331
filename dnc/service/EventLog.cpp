#include "dnc/service/EventLog.h"

#include <algorithm>
#include <ctime>

#include "localizing/lookup/ResourceStrings.h"

namespace dnc {

namespace {

constexpr int kStringError = 435;  // "Error:"
constexpr std::size_t kCaptionLimit = 80;
constexpr std::size_t kTextLimit = 4096;

std::string timestamp(std::chrono::system_clock::time_point when) {
    const std::time_t t = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

// A caption or a text from the settings or the line can be of any length: each line of the log
// holds a readable part of it, cut at a whole UTF-8 character.
std::string cut(const std::string& text, std::size_t limit) {
    if (text.size() <= limit) {
        return text;
    }
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    return text.substr(0, end) + "... (" + std::to_string(text.size()) + " bytes)";
}

// "program PRG1.WTX, PC to unit, started"
std::string transferText(const SubNetEvent& e, const std::string& what) {
    return "program " + e.program + (e.direction == 0 ? ", PC to unit, " : ", unit to PC, ") + what;
}

}  // namespace

EventLog::EventLog(Sink sink, Clock clock) : sink_(std::move(sink)), clock_(std::move(clock)) {
    if (!clock_) {
        clock_ = [] { return std::chrono::system_clock::now(); };
    }
}

void EventLog::line(const std::string& caption, int unit, const std::string& text, Hold hold) {
    using std::chrono::seconds;
    const auto now = clock_();
    const std::string what = (unit > 0 ? " unit " + std::to_string(unit) : "") + ": " + text;
    Flood& flood = floods_[caption];
    if (now - flood.windowStart >= seconds(1)) {
        flood.windowStart = now;
        flood.written = 0;
        std::erase_if(flood.recent,
                      [now](const auto& entry) { return now - entry.second >= seconds(1); });
    }
    const auto seen = flood.recent.find(what);
    const bool repeated = seen != flood.recent.end() && now - seen->second < seconds(1);
    const bool overBudget = hold == Hold::Budget && flood.written >= kLinesPerSecond;
    if (hold != Hold::Never && (repeated || overBudget)) {
        ++flood.suppressed;
        return;
    }
    if (flood.suppressed > 0) {
        write(now, caption,
              ": " + std::to_string(flood.suppressed) + " similar messages suppressed");
        flood.suppressed = 0;
        ++flood.written;
    }
    write(now, caption, what);
    ++flood.written;
    flood.recent[what] = now;
}

void EventLog::write(std::chrono::system_clock::time_point when, const std::string& caption,
                     const std::string& text) {
    sink_(timestamp(when) + " [" + cut(caption, kCaptionLimit) + "]" + cut(text, kTextLimit));
}

void EventLog::note(int subNet, const std::string& caption, const std::string& text) {
    line(caption.empty() ? "sub net " + std::to_string(subNet) : caption, 0, text);
}

void EventLog::event(const SubNetEvent& e) {
    using Kind = SubNetEvent::Kind;
    switch (e.kind) {
        case Kind::FerixMemChanged:
            line(e.caption, e.unit, "memory changed");
            break;
        case Kind::FerixDirChanged:
            line(e.caption, e.unit, "program received into the unit directory");
            break;
        case Kind::ProgressChanged: {
            // A transfer tells 100 % more than once (its last block, then its end): the
            // tenth stays until the next transfer begins.
            const int tenth = std::min(e.progress / 10, 10);
            auto& last = lastTenth_.try_emplace(e.subNet, -1).first->second;
            if (tenth != last) {
                last = tenth;
                line(e.caption, 0, "progress " + std::to_string(e.progress) + " %", Hold::Never);
            }
            break;
        }
        case Kind::OnError:
            line(e.caption, 0,
                 loc::resString(kStringError) + " " + e.description +
                     (e.reqSidePC ? " (operator request)" : " (unit request)"),
                 Hold::RepeatsOnly);
            break;
        case Kind::ShowStop:
            // Commands and listings show the button too: the program transfers are logged
            // from their own events, with their unit and program.
            if (e.showButton) {
                lastTenth_[e.subNet] = -1;
            }
            break;
        case Kind::TransferBegun:
            lastTenth_[e.subNet] = -1;
            // Each transfer's lines are the record of what went where: never held back.
            line(e.caption, e.unit, transferText(e, "started"), Hold::Never);
            break;
        case Kind::TransferFinished:
            line(e.caption, e.unit,
                 transferText(e, e.outcome) + (e.description.empty() ? "" : ": " + e.description),
                 Hold::Never);
            break;
        case Kind::CommunicationStarted:
            line(e.caption, 0,
                 "communication started" + (e.description.empty() ? "" : " " + e.description),
                 Hold::Never);
            break;
        case Kind::CommunicationStopped:
            line(e.caption, 0, "communication stopped", Hold::Never);
            break;
        case Kind::StartFailed:
            line(e.caption, 0, loc::resString(kStringError) + " " + e.description,
                 Hold::RepeatsOnly);
            break;
        case Kind::Closing:
            line(e.caption, 0, "closed, configuration stored", Hold::Never);
            break;
        case Kind::SettingProblem:
            line(e.caption, 0, "settings: " + e.setting.text());
            break;
        case Kind::ConfigChanged:
            break;  // the settings are logged where they are read
    }
}

}  // namespace dnc
