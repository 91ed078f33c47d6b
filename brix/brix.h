/* brix: the link to the breath-and-pulse sensor device. This build simulates a device with
 * both sensors ready and a steady pulse of 60 beats per minute. */
#ifndef BRIX_H
#define BRIX_H

#include <stdbool.h>
#include <stdint.h>

/* Exported by name: the .def file names them on Windows, visibility elsewhere. */
#if defined(_WIN32)
#define BRIX_API
#else
#define BRIX_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Starts posting sensor messages (number `message`) to `window` from a worker thread.
 * False when the link is already open or the worker cannot start. Any thread. */
BRIX_API bool BrixOpen(void* window, uint32_t message);

/* Stops the worker and waits for it (at most about 100 ms); no message is posted after it
 * returns. False when the link was not open. Same thread as BrixOpen. */
BRIX_API bool BrixClose(void);

#ifdef __cplusplus
}
#endif

#endif
