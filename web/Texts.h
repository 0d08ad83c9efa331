// The numbered texts of the browser view (resources/FerixWeb) and their lookup in a language
// chosen per request.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace web {

namespace text {
inline constexpr int kTitle = 100;
inline constexpr int kOverview = 101;
inline constexpr int kTransfers = 102;
inline constexpr int kPending = 103;
inline constexpr int kSignIn = 104;
inline constexpr int kSignOut = 105;
inline constexpr int kSignedInAs = 106;
inline constexpr int kNavigation = 107;
inline constexpr int kViewer = 108;
inline constexpr int kApprover = 109;
inline constexpr int kRefreshed = 110;

inline constexpr int kSites = 120;
inline constexpr int kSite = 121;
inline constexpr int kLastBeat = 122;
inline constexpr int kSubNet = 123;
inline constexpr int kCaption = 124;
inline constexpr int kState = 125;
inline constexpr int kLastError = 126;
inline constexpr int kToday = 127;
inline constexpr int kPendingCount = 128;
inline constexpr int kRunning = 129;
inline constexpr int kStopped = 130;
inline constexpr int kRetrying = 131;
inline constexpr int kSilent = 132;
inline constexpr int kNoSite = 133;

inline constexpr int kHistory = 140;
inline constexpr int kFilter = 141;
inline constexpr int kUnit = 142;
inline constexpr int kNameContains = 143;
inline constexpr int kFrom = 144;
inline constexpr int kTo = 145;
inline constexpr int kShow = 146;
inline constexpr int kTime = 147;
inline constexpr int kName = 148;
inline constexpr int kDirection = 149;
inline constexpr int kOutcome = 150;
inline constexpr int kUser = 151;
inline constexpr int kSize = 152;
inline constexpr int kToUnit = 153;
inline constexpr int kFromUnit = 154;
inline constexpr int kDone = 155;
inline constexpr int kFailed = 156;
inline constexpr int kBroken = 157;
inline constexpr int kNoTransfer = 158;
inline constexpr int kPage = 159;
inline constexpr int kNewer = 160;
inline constexpr int kOlder = 161;
inline constexpr int kNotADate = 162;
inline constexpr int kNotANumber = 163;
inline constexpr int kPages = 164;

inline constexpr int kRevision = 170;
inline constexpr int kNoPending = 171;
inline constexpr int kRevisionOf = 172;
inline constexpr int kRecorded = 173;
inline constexpr int kSource = 174;
inline constexpr int kReleased = 175;  // then the other states in the order of State
inline constexpr int kDifference = 180;
inline constexpr int kReleasedVersion = 181;
inline constexpr int kRevisionNumber = 182;
inline constexpr int kLine = 183;
inline constexpr int kAllNew = 184;
inline constexpr int kSame = 185;
inline constexpr int kEndsOnly = 186;
inline constexpr int kLinesChanged = 187;
inline constexpr int kDecision = 188;
inline constexpr int kAccept = 189;
inline constexpr int kReject = 190;
inline constexpr int kRequest = 191;
inline constexpr int kRequestOpen = 192;
inline constexpr int kRequestDone = 193;
inline constexpr int kRequestFailed = 194;
inline constexpr int kNotKept = 195;
inline constexpr int kRemoves = 196;
inline constexpr int kShowDifference = 197;
inline constexpr int kFromAUnit = 200;  // then the other sources in the order of Source

inline constexpr int kPassword = 210;
inline constexpr int kWrongPassword = 211;
inline constexpr int kTooMany = 212;
inline constexpr int kStaleForm = 213;
inline constexpr int kViewOnly = 214;
inline constexpr int kNotFound = 215;
inline constexpr int kStoreAway = 216;
inline constexpr int kError = 217;
inline constexpr int kNotFiled = 218;
inline constexpr int kBadRequest = 219;
inline constexpr int kSignInFirst = 220;
}  // namespace text

// Text `id` in `language`, its %1, %2, ... replaced by `arguments` as they are (escape them
// first where they land in HTML).
std::string tr(std::uint16_t language, int id,
               std::initializer_list<std::string_view> arguments = {});

}  // namespace web
