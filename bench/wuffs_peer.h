/* Wuffs' GIF decoder as a benchmark peer: the first frame of a GIF file held
   in memory, as colour-table indices. Built only when the bench is given the
   folder of Wuffs' single-file library; nothing shipped links it. */
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct TWuffsPeer TWuffsPeer;

/* One decoder, allocated once and re-initialised for every decode. */
TWuffsPeer* WuffsPeerNew(void);
void WuffsPeerFree(TWuffsPeer* peer);

/* The picture's size; 0 when Wuffs cannot read its header. */
int WuffsPeerSize(TWuffsPeer* peer, const uint8_t* file, size_t size, uint32_t* width, uint32_t* height);

/* Decodes the first frame into buffer: 1024 bytes of palette, then the
   indices, width x height bytes, rows top-down. Returns null when done, else
   Wuffs' message. */
const char* WuffsPeerDecode(TWuffsPeer* peer, const uint8_t* file, size_t size, uint8_t* buffer,
                            size_t bufferSize);

/* The number of palette bytes in front of the indices. */
enum { kWuffsPaletteBytes = 1024 };

#ifdef __cplusplus
}
#endif
