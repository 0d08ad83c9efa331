// Numbers of the sub-net window's texts in the program's string table.
#pragma once

namespace dnc::window::str {

inline constexpr int kProgramName = 101;  // "FerixDNC"
inline constexpr int kSelected = 402;
inline constexpr int kFiles = 403;
inline constexpr int kSelectNone = 404;
inline constexpr int kNoFileSelected = 405;
inline constexpr int kError = 412;
inline constexpr int kPurgeQuestion = 415;
inline constexpr int kPurgeText = 416;
inline constexpr int kResetQuestion = 417;
inline constexpr int kResetText = 418;
inline constexpr int kReaderReading = 419;
inline constexpr int kSection1 = 420;  // .. 423
inline constexpr int kWholeMemory = 424;
inline constexpr int kFileSelect = 425;
inline constexpr int kPuncherSimulation = 426;
inline constexpr int kReaderSimulation = 427;
inline constexpr int kFileTransfer = 428;
inline constexpr int kToFerix = 429;
inline constexpr int kFromFerix = 430;
inline constexpr int kDeleteQuestion = 431;
inline constexpr int kFileDelete = 432;
inline constexpr int kConfigWarning = 433;
inline constexpr int kContinue = 434;
inline constexpr int kErrorPrefix = 435;
inline constexpr int kDirectory = 436;
inline constexpr int kMemoryListTransfer = 437;
inline constexpr int kFileNameMissing = 438;
inline constexpr int kLastError = 439;
inline constexpr int kNoError = 440;
inline constexpr int kFileNotFound = 450;
inline constexpr int kUnitDirectoryMissing = 451;
inline constexpr int kFileTypeFirst = 733;  // .. 741
inline constexpr int kFileTypeLast = 741;

// Texts of the window that had no number of their own.
inline constexpr int kSystemMenu = 1100;
inline constexpr int kStopCommunication = 1101;
inline constexpr int kStartCommunication = 1102;
inline constexpr int kExit = 1103;
inline constexpr int kTransfersMenu = 1107;
inline constexpr int kTransferPCFerix = 1108;
inline constexpr int kTransferFerixPC = 1109;
inline constexpr int kUpdateMemoryList = 1110;
inline constexpr int kDeleteInMemory = 1111;
inline constexpr int kHelpMenu = 1112;
inline constexpr int kHelpContents = 1113;
inline constexpr int kWhatsThis = 1114;
inline constexpr int kAbout = 1115;
inline constexpr int kAboutControl = 1116;
inline constexpr int kSelectedFerix = 1130;
inline constexpr int kPcPrograms = 1131;
inline constexpr int kUnitDirectory = 1132;
inline constexpr int kUnitMemory = 1133;
inline constexpr int kUnitFile = 1134;
inline constexpr int kFileName = 1135;
inline constexpr int kFree = 1136;
inline constexpr int kSection = 1137;
inline constexpr int kBytes = 1138;
inline constexpr int kFerixNotReady = 1139;
inline constexpr int kFerixNotSelected = 1140;
inline constexpr int kStaleMarker = 1141;
inline constexpr int kStop = 1142;
inline constexpr int kPath = 1143;
inline constexpr int kMask = 1144;
inline constexpr int kTipTransferPCFerix = 1150;
inline constexpr int kTipTransferFerixPC = 1151;
inline constexpr int kTipFerixLst = 1152;
inline constexpr int kTipRemove = 1153;
inline constexpr int kTipClearMemory = 1154;
inline constexpr int kTipConfigDNC = 1155;
inline constexpr int kTipStopCommunication = 1156;
inline constexpr int kTipStartCommunication = 1157;
inline constexpr int kTipWhatIsThis = 1158;
inline constexpr int kTipRefresh = 1159;
inline constexpr int kTipChangeDir = 1160;
inline constexpr int kTipStop = 1161;
inline constexpr int kTipInfoBar = 1162;
inline constexpr int kHelpMissing = 1181;
inline constexpr int kBrowserFailed = 1182;
inline constexpr int kWhatsThisFirst = 1200;  // What's This texts of the panes and commands
// What's This texts of the tool bar buttons, in the bar's order, and of the stop button.
inline constexpr int kWhatsThisTransferPCFerix = 1260;
inline constexpr int kWhatsThisTransferFerixPC = 1261;
inline constexpr int kWhatsThisFerixLst = 1262;
inline constexpr int kWhatsThisRemove = 1263;
inline constexpr int kWhatsThisClearMemory = 1264;
inline constexpr int kWhatsThisStopCommunication = 1265;
inline constexpr int kWhatsThisStartCommunication = 1266;
inline constexpr int kWhatsThisWhatIsThis = 1267;
inline constexpr int kWhatsThisStop = 1268;
inline constexpr int kWhatsThisConfigDNC = 1506;
inline constexpr int kNetworkConfiguration = 211;  // "&Network Configuration"

}  // namespace dnc::window::str
