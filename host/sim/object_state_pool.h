// Where the host keeps each object's state (AcDbImpObject): slots of one size
// in chunks, with a list of the free ones.
#ifndef HOST_SIM_OBJECT_STATE_POOL_H
#define HOST_SIM_OBJECT_STATE_POOL_H

namespace sim {

// Every object a drawing holds has its state, so its heap block counted:
// one from this pool costs neither a call into the heap (about 180
// instructions of a copied object's, when the heap only grows) nor the
// heap's header and rounding (16 bytes of an object read from a file). The
// pool serves the whole process and keeps its chunks for its lifetime; a
// free slot is poisoned under AddressSanitizer.
void* takeObjectStateSlot();
void giveBackObjectStateSlot(void* slot);

}  // namespace sim

#endif
