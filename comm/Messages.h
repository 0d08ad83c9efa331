// The control's numbered messages, looked up in the current language of this library.
#pragma once

#include <string>

namespace comm {

namespace msg {
inline constexpr int WriteError = 410;
inline constexpr int StartupError = 411;
inline constexpr int ReceivingRequest = 412;
inline constexpr int ProcessingRequest = 413;
inline constexpr int KindNotSupported = 414;
inline constexpr int WrongDirection = 415;
inline constexpr int ActionNotSupported = 416;
inline constexpr int FinalConfirmation = 417;
inline constexpr int FileToFerix = 418;
inline constexpr int FileFromFerix = 419;
inline constexpr int DirectoryToFerix = 420;
inline constexpr int CommandToFerix = 421;
inline constexpr int ProcessingPCRequest = 422;
inline constexpr int OffsetNotSet = 423;
inline constexpr int MemoryListError = 424;
inline constexpr int NotConnected = 425;
inline constexpr int BlockNotSent = 426;
inline constexpr int BlockNotReceived = 427;
inline constexpr int NotActivated = 428;
inline constexpr int BlockTooLong = 429;
inline constexpr int ProtocolWhileActive = 430;
inline constexpr int ListingFileError = 431;
inline constexpr int BlockNotAcknowledged = 432;
inline constexpr int AcknowledgeTimeout = 433;
inline constexpr int BlockRepeated4Times = 434;
inline constexpr int TransferInterrupted = 435;
inline constexpr int EtxNotReceived = 436;
inline constexpr int ActionNotForProtocol = 437;
inline constexpr int RequestNotAcknowledged = 438;
inline constexpr int RequestNotAccepted = 439;
inline constexpr int BlockTimeout = 440;
inline constexpr int NameTooLong = 441;
inline constexpr int DeviceLost = 442;
inline constexpr int UnitKeepsSending = 443;
inline constexpr int GetFerixReady = 500;
}  // namespace msg

// Message `number` in the current language of this library ("" when absent).
std::string message(int number);

// "<message> (<detail>)", the usual composition of a message with its cause.
std::string messageWithDetail(int number, const std::string& detail);

// Message `number` with its "%1" replaced by `argument`.
std::string messageWith(int number, const std::string& argument);

}  // namespace comm
