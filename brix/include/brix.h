/* brix: the link to the breath-and-pulse sensor device: by default a simulated device with
 * both sensors ready and a steady pulse of 60 beats per minute, or a recorded heart rhythm. */
#ifndef BRIX_H
#define BRIX_H

#include <stdbool.h>
#include <stddef.h>
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

/* Starts posting sensor messages (number `message`) to `window` from the chosen source's
 * threads. False when the link is already open or the source cannot start. Any thread. */
BRIX_API bool BrixOpen(void* window, uint32_t message);

/* Stops the source and waits for its threads (well within 100 ms); no message is posted
 * after it returns. False when the link was not open. Same thread as BrixOpen. */
BRIX_API bool BrixClose(void);

/* Chooses the source for the next BrixOpen: "simulated" (the default), "replay:FILE" or
 * "replay:FILE:loop". A recording is read at once. False, with one line naming the problem
 * in `error` (`size` bytes, always terminated), when the name or the file is bad; the
 * choice before it then stays. */
BRIX_API bool BrixChooseSource(const char* source, char* error, size_t size);

#ifdef __cplusplus
}
#endif

#endif
