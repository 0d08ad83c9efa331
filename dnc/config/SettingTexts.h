// The numbers of the settings check's texts in the program's string table. Each text takes
// its values as %1, %2, %3; %1 of a message is the value as typed.
#pragma once

namespace dnc::settingtext {

inline constexpr int NotABoolean = 1400;
inline constexpr int NotAWholeNumber = 1401;  // %2 to %3
inline constexpr int NotANumber = 1402;
inline constexpr int NotALineSpeed = 1403;
inline constexpr int NotAParity = 1404;
inline constexpr int NotDataBits = 1405;
inline constexpr int NotStopBits = 1406;
inline constexpr int BelowLeastRepeats = 1407;  // %2 the least count
inline constexpr int NotAProtocol = 1408;
inline constexpr int LongerThan = 1409;  // %2 the most characters
inline constexpr int LongerThanOne = 1410;
inline constexpr int EmptyFileType = 1411;
inline constexpr int BlanksAround = 1412;
inline constexpr int NotHostAndPort = 1413;
inline constexpr int NotADevice = 1414;
inline constexpr int NoClosingBracket = 1415;
inline constexpr int NoEquals = 1416;
inline constexpr int NoKey = 1417;
inline constexpr int NulByte = 1418;
inline constexpr int ByteOrderMark = 1419;
inline constexpr int BehindHeader = 1420;
inline constexpr int GivenAgain = 1421;  // %1 the line that counts
inline constexpr int BeforeFirstSection = 1422;
inline constexpr int NotAPortNumber = 1423;
inline constexpr int NotAHistoryLocation = 1424;

inline constexpr int UsedInstead = 1430;  // %1 what is used
inline constexpr int DefaultInstead = 1431;
inline constexpr int PortCannotOpen = 1432;
inline constexpr int LineSkipped = 1433;
inline constexpr int DroppedWhenSaved = 1434;
inline constexpr int OtherLineCounts = 1435;  // %1 the line that counts
inline constexpr int Ignored = 1436;
inline constexpr int NotUsed = 1437;

}  // namespace dnc::settingtext
