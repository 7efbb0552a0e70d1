#include "gif_file_writer.h"

#include <string_view>

namespace bench {
namespace {

void Append16(std::vector<std::uint8_t>& out, int value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

}  // namespace

std::vector<std::uint8_t> WriteGifFile(const GifFrameFile& frame) {
  std::vector<std::uint8_t> out;
  for (char c : std::string_view("GIF89a")) out.push_back(static_cast<std::uint8_t>(c));
  Append16(out, frame.width);  // logical screen
  Append16(out, frame.height);
  out.push_back(static_cast<std::uint8_t>(0xF0 | (frame.pixelBits - 1)));  // global table, 8-bit colour
  out.push_back(0);  // background index
  out.push_back(0);  // aspect
  const int colours = 1 << frame.pixelBits;
  for (int i = 0; i < colours; ++i)
    for (int c = 0; c < 3; ++c) out.push_back(static_cast<std::uint8_t>(i * 255 / (colours - 1)));
  out.push_back(',');
  Append16(out, 0);
  Append16(out, 0);
  Append16(out, frame.width);
  Append16(out, frame.height);
  out.push_back(frame.interlaced ? 0x40 : 0x00);
  out.insert(out.end(), frame.compressed.begin(), frame.compressed.end());
  out.push_back(';');
  return out;
}

}  // namespace bench
