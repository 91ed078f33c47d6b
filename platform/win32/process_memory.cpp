// The Windows heap gives large freed blocks back to the system on its own.
#include "platform/process_memory.hpp"

void returnLargeFreedBlocks() {}
