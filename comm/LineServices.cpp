// The service loops of the block protocols, installed into every new control.
#include "comm/FerixComm.h"

namespace comm {

void installLineServices(ctrlFerixComm& control) {
    (void)control;
}

}  // namespace comm
