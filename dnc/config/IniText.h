// The lines of a settings file as the store's INI parser reads them: blank lines, comments,
// section headers, "key=value" entries, and the lines it cannot read as they are meant. Each
// line keeps its number, so that whatever is found in it can be reported where a person
// finds it in an editor.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace dnc {

struct IniLine {
    enum class Kind { Blank, Comment, Section, Entry, Unreadable };
    // Why a line is unreadable.
    enum class Fault { None, NulByte, ByteOrderMark, NoClosingBracket, NoEquals, NoKey };

    Kind kind = Kind::Blank;
    std::size_t number = 1;  // counted by line feeds, from 1
    std::size_t begin = 0;   // the line's bytes in the text, without its end
    std::size_t end = 0;
    std::string section;        // Section: its name; Entry and Unreadable: the section they lie in
    std::string key;            // Entry
    std::string typed;          // Entry: the value as typed, blanks around it off
    std::string value;          // Entry: the value as the store reads it (one pair of quotes off)
    std::string ignored;        // Section: text behind the "]" that the parser drops
    Fault fault = Fault::None;  // Unreadable: what is wrong with it
};

// Every line of `text`. Lines end at a line feed or a CR, as the parser has them.
std::vector<IniLine> scanIniText(std::string_view text);

// The text with every unreadable line blanked (line ends kept), for the parser.
std::string readableIniText(std::string_view text, const std::vector<IniLine>& lines);

}  // namespace dnc
