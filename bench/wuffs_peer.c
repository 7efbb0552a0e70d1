/* Wuffs' GIF decoder as a benchmark peer (wuffs_peer.h), called the way its
   own examples call it: the decoder struct and the pixel buffer allocated
   once, outside the timed loop; the decoder re-initialised without clearing
   its internal buffers; the file already in memory; one byte per pixel, the
   colour-table index. Only the modules a GIF decode needs are compiled. */
#define WUFFS_IMPLEMENTATION
#define WUFFS_CONFIG__STATIC_FUNCTIONS
#define WUFFS_CONFIG__MODULES
#define WUFFS_CONFIG__MODULE__BASE
#define WUFFS_CONFIG__MODULE__GIF
#include "wuffs-unsupported-snapshot.c"

#include <stdlib.h>

#include "bench/wuffs_peer.h"

struct TWuffsPeer {
  wuffs_gif__decoder decoder;
};

TWuffsPeer* WuffsPeerNew(void) { return (TWuffsPeer*)calloc(1, sizeof(TWuffsPeer)); }

void WuffsPeerFree(TWuffsPeer* peer) { free(peer); }

/* Reads the header into config; null when done, else the message. */
static const char* StartDecode(TWuffsPeer* peer, wuffs_base__io_buffer* source, wuffs_base__image_config* config) {
  wuffs_base__status status = wuffs_gif__decoder__initialize(&peer->decoder, sizeof peer->decoder, WUFFS_VERSION,
                                                             WUFFS_INITIALIZE__LEAVE_INTERNAL_BUFFERS_UNINITIALIZED);
  if (!wuffs_base__status__is_ok(&status)) return wuffs_base__status__message(&status);
  status = wuffs_gif__decoder__decode_image_config(&peer->decoder, config, source);
  return wuffs_base__status__is_ok(&status) ? NULL : wuffs_base__status__message(&status);
}

int WuffsPeerSize(TWuffsPeer* peer, const uint8_t* file, size_t size, uint32_t* width, uint32_t* height) {
  wuffs_base__io_buffer source = wuffs_base__ptr_u8__reader((uint8_t*)file, size, true);
  wuffs_base__image_config config;
  if (StartDecode(peer, &source, &config)) return 0;
  *width = wuffs_base__pixel_config__width(&config.pixcfg);
  *height = wuffs_base__pixel_config__height(&config.pixcfg);
  return 1;
}

const char* WuffsPeerDecode(TWuffsPeer* peer, const uint8_t* file, size_t size, uint8_t* buffer,
                            size_t bufferSize) {
  wuffs_base__io_buffer source = wuffs_base__ptr_u8__reader((uint8_t*)file, size, true);
  wuffs_base__image_config config;
  const char* message = StartDecode(peer, &source, &config);
  if (message) return message;
  if (wuffs_gif__decoder__workbuf_len(&peer->decoder).max_incl > 0) return "Wuffs asks for a work buffer";
  wuffs_base__pixel_config__set(&config.pixcfg, WUFFS_BASE__PIXEL_FORMAT__INDEXED__BGRA_BINARY,
                                WUFFS_BASE__PIXEL_SUBSAMPLING__NONE, wuffs_base__pixel_config__width(&config.pixcfg),
                                wuffs_base__pixel_config__height(&config.pixcfg));
  wuffs_base__pixel_buffer pixels;
  wuffs_base__status status =
      wuffs_base__pixel_buffer__set_from_slice(&pixels, &config.pixcfg, wuffs_base__make_slice_u8(buffer, bufferSize));
  if (!wuffs_base__status__is_ok(&status)) return wuffs_base__status__message(&status);
  wuffs_base__frame_config frame;
  status = wuffs_gif__decoder__decode_frame_config(&peer->decoder, &frame, &source);
  if (!wuffs_base__status__is_ok(&status)) return wuffs_base__status__message(&status);
  status = wuffs_gif__decoder__decode_frame(&peer->decoder, &pixels, &source, WUFFS_BASE__PIXEL_BLEND__SRC,
                                            wuffs_base__empty_slice_u8(), NULL);
  return wuffs_base__status__is_ok(&status) ? NULL : wuffs_base__status__message(&status);
}
