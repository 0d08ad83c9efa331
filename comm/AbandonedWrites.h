// The remains of writes that were killed half way (a power cut, kill -9): hidden temporary
// files beside the programs, found and removed when a sub net's line is switched on.
#pragma once

namespace comm {

class ctrlFerixComm;

// Removes them from every unit directory of the control; each one removed is told as a
// failed reception in the history and as a note, so that nobody wonders where it went.
void removeAbandonedWrites(ctrlFerixComm& control);

}  // namespace comm
