// The numbers of the configuration dialog's texts in the program's string table.
#pragma once

#include <QString>

#include "localizing/lookup/ResourceStrings.h"

namespace dnc::window::configtext {

inline constexpr int kCaption = 601;
inline constexpr int kCreateFolder = 1814;
inline constexpr int kOK = 610;
inline constexpr int kCancel = 611;
inline constexpr int kUse = 612;
inline constexpr int kHelp = 613;
inline constexpr int kTabCommon = 620;
inline constexpr int kTabPort = 621;
inline constexpr int kTabDirectories = 622;
inline constexpr int kTabDnc = 623;
inline constexpr int kTabHeidenhain = 624;
inline constexpr int kConversionsIn = 664;
inline constexpr int kConversionsOut = 665;
inline constexpr int kFileName = 752;
inline constexpr int kSelectDirectory = 753;
inline constexpr int kSelectEditor = 754;
inline constexpr int kLabelPortDevice = 1503;
inline constexpr int kPortDeviceTip = 1504;
inline constexpr int kOutsideRoot = 1505;
inline constexpr int kPortsNotStored = 1507;
inline constexpr int kLabelCaption = 1510;
inline constexpr int kLabelProtocol = 1511;
inline constexpr int kLabelAutoFerixLst = 1512;
inline constexpr int kLabelAutoFerixLstCont = 1513;
inline constexpr int kLabelEditor = 1514;
inline constexpr int kBrowse = 1515;
inline constexpr int kLabelPort = 1520;
inline constexpr int kLabelSpeed = 1522;
inline constexpr int kLabelDataBits = 1523;
inline constexpr int kLabelStopBits = 1524;
inline constexpr int kLabelParity = 1525;
inline constexpr int kLabelHandshaking = 1526;
inline constexpr int kLabelRoot = 1535;
inline constexpr int kHeadUnit = 1536;
inline constexpr int kHeadDirectory = 1537;
inline constexpr int kHeadPrefix = 1538;
inline constexpr int kHeadConnected = 1539;
inline constexpr int kHeadConversions = 1540;
inline constexpr int kLabelZerosInName = 1541;
inline constexpr int kLabelProtectPrograms = 1900;
inline constexpr int kLabelExtensions = 1545;
inline constexpr int kLabelFirstExtension = 1546;  // .. 1552, in the order of the properties
inline constexpr int kLabelHeidenhainMaster = 1555;
inline constexpr int kLabelHeidenhainCRLF = 1556;
inline constexpr int kLabelFileType = 1557;
inline constexpr int kHelpTopic = 3000;

// The program's text in this thread's language.
inline QString string(int id) {
    return QString::fromStdString(loc::resString(id));
}

}  // namespace dnc::window::configtext
