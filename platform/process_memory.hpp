// How the process hands freed memory back to the system.
#pragma once

// Large freed blocks (image decoding, the renderer's big buffers) go back to the system at
// once instead of staying in the heap for reuse. Main thread, first thing in main.
void returnLargeFreedBlocks();
