// The service loops of the block protocols, installed into every new control.
#include "comm/FerixComm.h"
#include "comm/dnc/DncService.h"
#include "comm/heidenhain/HeidenhainService.h"

namespace comm {

void installLineServices(ctrlFerixComm& control) {
    control.setServiceFactory(ProtHeidenhain, heidenhain::makeHeidenhainService);
    control.setServiceFactory(ProtTavro1, heidenhain::makeHeidenhainService);
    control.setServiceFactory(ProtDNC, dnc::makeDncService);
}

}  // namespace comm
