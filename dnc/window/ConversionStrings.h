// Numbers of the texts of the conversion dialogs and of the window's Conversions menu.
#pragma once

namespace dnc::window::convstr {

// Texts with a number of their own.
inline constexpr int kNoFileSelected = 405;
inline constexpr int kError = 412;
inline constexpr int kConversionError = 413;
inline constexpr int kDeleteFromUnitDirectory = 414;
inline constexpr int kChainCaption = 801;
inline constexpr int kAddBefore = 810;
inline constexpr int kAddAfter = 811;
inline constexpr int kDelete = 812;
inline constexpr int kStepFrame = 813;
inline constexpr int kUserConversion = 814;
inline constexpr int kConversion = 815;
inline constexpr int kParameters = 816;
inline constexpr int kOk = 820;
inline constexpr int kCancel = 821;
inline constexpr int kUse = 822;
inline constexpr int kHelp = 823;
inline constexpr int kConfirmCaption = 901;
inline constexpr int kIncludeQuestion = 910;
inline constexpr int kExcludeQuestion = 911;
inline constexpr int kFileType = 913;
inline constexpr int kWithoutConversion = 914;
inline constexpr int kExtension = 916;
inline constexpr int kChainHelpTopic = 4000;

// Texts the window had no number for.
inline constexpr int kConversionsMenu = 1600;
inline constexpr int kIncludeFile = 1601;
inline constexpr int kExcludeFile = 1602;
inline constexpr int kDeleteFile = 1603;
inline constexpr int kTipInclude = 1604;
inline constexpr int kTipExclude = 1605;
inline constexpr int kTipDeleteFile = 1606;
inline constexpr int kStepTooLong = 1607;  // %1: the length the change would give
inline constexpr int kChainNotSaved = 1608;
inline constexpr int kCopyFailed = 1609;  // %1 source, %2 target
inline constexpr int kIncluding = 1610;   // %1 of %2: %3
inline constexpr int kExcluding = 1611;
inline constexpr int kTipUp = 1612;
inline constexpr int kTipDown = 1613;
inline constexpr int kChainFile = 1614;
inline constexpr int kStepList = 1813;
inline constexpr int kName = 1615;

}  // namespace dnc::window::convstr
