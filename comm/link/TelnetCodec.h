// The Telnet layer of a serial line on a network device server with COM port control (RFC 854
// framing, option negotiation after RFC 1143, the COM-PORT-OPTION of RFC 2217). It only turns
// bytes into bytes: data bytes are escaped for the wire, the wire is split into data and
// commands, and the answers that the negotiation demands are collected for sending.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace comm::telnet {

inline constexpr std::uint8_t kIac = 255;
inline constexpr std::uint8_t kDont = 254;
inline constexpr std::uint8_t kDo = 253;
inline constexpr std::uint8_t kWont = 252;
inline constexpr std::uint8_t kWill = 251;
inline constexpr std::uint8_t kSb = 250;
inline constexpr std::uint8_t kSe = 240;

inline constexpr std::uint8_t kOptionBinary = 0;
inline constexpr std::uint8_t kOptionEcho = 1;
inline constexpr std::uint8_t kOptionSuppressGoAhead = 3;
inline constexpr std::uint8_t kOptionComPort = 44;

// COM-PORT-OPTION commands from the client; the server answers with the code + 100.
enum class ComPortCommand : std::uint8_t {
    SetBaudRate = 1,
    SetDataSize = 2,
    SetParity = 3,
    SetStopSize = 4,
    SetControl = 5,
    NotifyLineState = 6,
    NotifyModemState = 7,
    FlowControlSuspend = 8,
    FlowControlResume = 9,
    SetLineStateMask = 10,
    SetModemStateMask = 11,
    PurgeData = 12,
};
inline constexpr std::uint8_t kServerCommandOffset = 100;

// Values of SET-PARITY, SET-STOPSIZE, SET-CONTROL and PURGE-DATA.
inline constexpr std::uint8_t kParityNone = 1, kParityOdd = 2, kParityEven = 3, kParityMark = 4,
                              kParitySpace = 5;
inline constexpr std::uint8_t kStopOne = 1, kStopTwo = 2, kStopOneAndHalf = 3;
inline constexpr std::uint8_t kControlNoFlow = 1, kControlXonXoff = 2, kControlHardware = 3,
                              kControlDtrOn = 8, kControlRtsOn = 11, kControlRtsOff = 12;
inline constexpr std::uint8_t kPurgeReceive = 1, kPurgeTransmit = 2, kPurgeBoth = 3;

class TelnetCodec {
public:
    // What the client offers when the connection is up: BINARY both ways, SUPPRESS-GO-AHEAD,
    // and with `comPort` the COM-PORT-OPTION.
    void start(bool comPort, std::vector<std::uint8_t>& wire);

    // Appends `data` for the wire: IAC doubled, and CR followed by NUL while the server has
    // not agreed that we send binary.
    void encodeData(std::span<const std::uint8_t> data, std::vector<std::uint8_t>& wire) const;
    // Appends one COM-PORT-OPTION command with its value.
    static void encodeComPort(ComPortCommand command, std::span<const std::uint8_t> value,
                              std::vector<std::uint8_t>& wire);

    // Splits bytes from the wire into data (appended to `data`) and commands; answers that
    // the negotiation demands are appended to `replies`. Any split of the stream gives the
    // same result.
    void decode(std::span<const std::uint8_t> wire, std::vector<std::uint8_t>& data,
                std::vector<std::uint8_t>& replies);

    // The server agreed to COM port control / refused it.
    bool comPortAccepted() const { return local_[kOptionComPort].enabled; }
    bool comPortRefused() const { return comPortRefused_; }
    // The value of the server's last answer to `command` (each answer counts up `answers`).
    std::optional<std::vector<std::uint8_t>> answer(ComPortCommand command) const;
    std::size_t answers() const { return answers_; }
    // How many answers to `command` came, and the size of `decode`'s `data` when the last of
    // them came: the data before it is older than that answer.
    std::size_t answerCount(ComPortCommand command) const;
    std::size_t dataBeforeAnswer(ComPortCommand command) const;
    // The server asked to hold back data (FLOWCONTROL-SUSPEND) and has not resumed.
    bool flowSuspended() const { return flowSuspended_; }
    bool sendsBinary() const { return local_[kOptionBinary].enabled; }
    bool receivesBinary() const { return remote_[kOptionBinary].enabled; }

private:
    struct Option {
        bool enabled = false;
        bool requested = false;
    };
    enum class State { Data, Iac, Verb, Sub, SubIac, Cr };

    void negotiate(std::uint8_t verb, std::uint8_t option, std::vector<std::uint8_t>& replies);
    // The index of the command answered, if the subnegotiation was an answer.
    std::optional<std::size_t> subnegotiation();
    static bool localSupported(std::uint8_t option);
    static bool remoteSupported(std::uint8_t option);

    static constexpr std::size_t kMaxSubnegotiation = 64;

    State state_ = State::Data;
    std::uint8_t verb_ = 0;
    std::vector<std::uint8_t> sub_;
    bool subOverflow_ = false;
    std::array<Option, 256> local_{};   // options we do
    std::array<Option, 256> remote_{};  // options the server does
    bool comPortRefused_ = false;
    bool flowSuspended_ = false;
    std::array<std::optional<std::vector<std::uint8_t>>, 16> answersByCommand_{};
    std::array<std::size_t, 16> answerCounts_{};
    std::array<std::size_t, 16> dataBeforeAnswers_{};
    std::size_t answers_ = 0;
};

}  // namespace comm::telnet
