#pragma once
// Draws a bitmap stretched with one colour left out, composed off screen and
// copied to the destination once. Win32 (GDI).

#include <windows.h>

#include <cstdint>

namespace quickintro {

// Draws sourceRect of bitmap into destRect of destination; every covered
// pixel whose picture colour equals transparentColor (a colour value,
// system colours resolved; white for a monochrome bitmap) keeps what the destination held. An empty or inverted destination
// rectangle draws at the bitmap's own size from its left top corner. palette,
// when not null, is the bitmap's and is realised for the drawing. bitmap must
// not be selected into another device context. Returns false when a drawing
// object could not be made; nothing is drawn then.
bool TransparentStretch(HDC destination, const RECT& destRect, HBITMAP bitmap, HPALETTE palette,
                        const RECT& sourceRect, std::uint32_t transparentColor) noexcept;

}  // namespace quickintro
