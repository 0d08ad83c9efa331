// The string lookup of one deliverable. Every program and library that has a string table links
// its own copy, so each keeps its own current language; the language is kept per thread because
// every sub net runs on a thread of its own with its own language setting.
#pragma once

#include <cstdint>
#include <string>

namespace loc {

inline constexpr std::uint16_t kEnglish = 0x0409;
inline constexpr std::uint16_t kGerman = 0x0407;
inline constexpr std::uint16_t kCzech = 0x0405;

// Longest text a lookup returns, in bytes.
inline constexpr int kMaxStringBytes = 1000;

// String `id` of this deliverable's table in the current language; empty when absent.
std::string resString(int id);

// String `id` in the given language.
std::string resString(int id, std::uint16_t language);

// The name of `language` in that language (string 10).
std::string languageName(std::uint16_t language);

// Chooses the current language for a requested code from the languages that the main program
// of the process offers: the exact code, else its primary language alone, else 0.
std::uint16_t selectLanguage(std::uint16_t requested);

std::uint16_t currentLanguage();

// Language codes that the main program's table offers (at most maxIndex + 1 of them).
int availableLanguages(std::uint16_t* languages, int maxIndex);

}  // namespace loc
