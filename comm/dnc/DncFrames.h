// The frames of the addressed DNC block protocol as the PC sends and expects them: protocol
// characters, data blocks with their check byte and DLE doubling, the request, acknowledgement
// and poll frames, the block numbering of transfers and the closing block.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace comm::dnc {

// Protocol characters.
inline constexpr std::uint8_t FILL = 0xFF;  // first byte of every PC frame; trailer, keep-alive
inline constexpr std::uint8_t DLE = 0x10;   // escape; starts every control sequence
inline constexpr std::uint8_t EOT = 0x04;   // follows FILL DLE at the start of a PC frame
inline constexpr std::uint8_t STX = 0x02;   // DLE STX opens the data part of a block
inline constexpr std::uint8_t REQ = 0x85;   // DLE REQ asks a unit for its next block
inline constexpr std::uint8_t END = 0x83;   // DLE END closes the data part of a block
inline constexpr std::uint8_t OK = 0x01;    // DLE OK: block accepted; a unit's "request waiting"

inline constexpr std::size_t kTrailerLength = 10;
inline constexpr std::size_t kPollTrailerLength = 12;
// Most data bytes a unit may put into one block (after removing the doubling).
inline constexpr std::size_t kMaxUnitBlockData = 34;
// Data bytes per block of a file or directory transfer.
inline constexpr std::size_t kTransferBlockSize = 32;
// Highest unit address on the line; 11 is polled but has no unit entry.
inline constexpr std::uint8_t kHighestAddress = 11;

// Block codes: 0 for requests, the closing block and the poll; 128..255 for transfer blocks.
inline constexpr std::uint8_t kRequestCode = 0;
inline constexpr std::uint8_t kFirstBlockNumber = 128;

// Status byte of the closing block.
enum TransferStatus : std::uint8_t {
    kStatusComplete = 0,
    kStatusEmptyFile = 1,
    kStatusNotWritten = 2,
    kStatusFailed = 3,
    kStatusStopped = 6,
    kStatusOffsetNotSet = 7,
};

// (code + sum of the data bytes) mod 256, each data byte counted once.
std::uint8_t checkByte(std::uint8_t code, std::string_view data);

// The data bytes with every DLE sent twice.
std::string doubleDle(std::string_view data);

// FILL DLE EOT A A DLE STX R data DLE END C 0x00 and `trailerLength` FILL bytes.
std::string dataFrame(std::uint8_t address, std::uint8_t code, std::string_view data,
                      std::size_t trailerLength = kTrailerLength);

// FILL DLE EOT A A DLE REQ: asks unit A for its next block.
std::string requestFrame(std::uint8_t address);

// DLE OK FILL: the PC accepts a unit's block.
std::string ackFrame();

// The 25-byte poll frame with address 0; setPollAddress fills in the address to poll.
std::string pollFrame();
void setPollAddress(std::string& frame, std::uint8_t address);

// Block numbers of a transfer: 128, 129, ... 255, 128, ...
std::uint8_t nextBlockNumber(std::uint8_t number);
// The number before `number` (255 before 128): a block carrying it is a repeat.
std::uint8_t previousBlockNumber(std::uint8_t number);

// The 16 data bytes of the closing block: 0x05, ten 0x00, value (LSB first), status.
std::string closingBlockData(std::uint32_t value, std::uint8_t status);

}  // namespace comm::dnc
