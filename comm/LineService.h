// The service loop of a block protocol: runs inside the Active setter until Active turns false
// (then it closes the port and returns) or an error ends it.
#pragma once

#include <functional>
#include <memory>

#include "comm/ComError.h"

namespace comm {

class ctrlFerixComm;

class LineService {
public:
    virtual ~LineService() = default;
    // Sets up the protocol's characters before the port opens.
    virtual void prepare() {}
    // Called with the port open and configured; returns when communication has stopped.
    virtual Status run() = 0;
};

using LineServiceFactory = std::function<std::unique_ptr<LineService>(ctrlFerixComm&)>;

}  // namespace comm
