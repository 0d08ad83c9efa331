// The settings file checked as a person wrote it: lines the store cannot read, keys given
// twice, and every stored value against its key's rule. Each problem is a record with the
// file, the line, the section and key, the value as typed and what the program uses instead,
// so that the headless log, a window's information bar and the check mode report the same.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace dnc {

struct SettingProblem {
    enum class Kind {
        UnreadableLine,  // skipped, and gone from the file at its next write
        IgnoredText,     // text behind a section header's "]"
        RepeatedKey,     // an earlier line of a key given again; the last one counts
        OutsideSection,  // an entry before the first section header
        NotAPortNumber,  // a key of "Ports" that names no port
        BadValue,        // a value that does not convert; the key's default is used
        AdjustedValue,   // a value the control stores changed (cut, raised, trimmed)
    };

    Kind kind = Kind::BadValue;
    std::filesystem::path file;
    std::size_t line = 0;
    std::string section;  // as spelled in the file
    std::string key;      // empty for a line that is no entry
    std::string value;    // the value as typed, or the whole line
    // What is wrong, and what is used instead: numbers of the program's string table
    // (SettingTexts.h) with their values.
    int messageId = 0;
    std::vector<std::string> messageArgs;
    int insteadId = 0;
    std::vector<std::string> insteadArgs;

    // Whether saving the settings would drop or replace this text of the person's.
    bool lostOnWrite() const;
    // The texts in the calling thread's language.
    std::string message() const;
    std::string instead() const;
    // "FILE:LINE: section/key: message; instead"
    std::string text() const;
};

// Every problem of `text`, the contents of `file`, in the order of its lines.
std::vector<SettingProblem> checkSettingsText(const std::filesystem::path& file,
                                              std::string_view text);

// The problems of the file; an absent file has none (every setting has its default).
std::vector<SettingProblem> checkSettingsFile(const std::filesystem::path& file);

// Whether the section is `name`, compared as the store compares names.
bool sameSection(const SettingProblem& problem, std::string_view name);

}  // namespace dnc
