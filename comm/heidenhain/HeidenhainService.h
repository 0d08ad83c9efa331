// The service loop of a Heidenhain or Tavro1 line: while the line is active it listens for the
// request headers that the machine's control sends on its own (send me a file, take a file,
// send me the directory listing, delete a file), acknowledges them and serves them. Every
// failure is reported through OnError and the loop goes on listening.
#pragma once

#include <cstdint>
#include <memory>

#include "comm/LineService.h"
#include "comm/heidenhain/HeaderReceiver.h"

namespace comm {
class ctrlFerixComm;
}  // namespace comm

namespace comm::heidenhain {

inline constexpr int kIdleTurnsBeforeBlink = 50;

class HeidenhainService : public LineService {
public:
    explicit HeidenhainService(ctrlFerixComm& control) : control_(control) {}

    void prepare() override;
    Status run() override;

    // What a good header asks of the PC.
    void serveListing(const RequestHeader& header);
    void serveFile(const RequestHeader& header);
    void takeFile(const RequestHeader& header);
    void deleteFile(const RequestHeader& header);

private:
    Status takeByte(std::uint8_t byte);
    void dispatch(const RequestHeader& header);
    void onIdleTurns();
    void reportSendFailure(const ComError& error);
    void reportReceiveFailure(const ComError& error);

    ctrlFerixComm& control_;
    HeaderReceiver headers_;
    int idleTurns_ = 0;
    bool machineMemoryChanged_ = false;
};

// The service of a ProtHeidenhain or ProtTavro1 line.
std::unique_ptr<LineService> makeHeidenhainService(ctrlFerixComm& control);

}  // namespace comm::heidenhain
