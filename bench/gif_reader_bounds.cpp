// The picture reader's bounds on files of many frames: the memory a picture
// takes for 4 MiB of empty 1 x 1 frames (each 12 bytes, every one under the
// global colour table), and the time a copy of a picture takes at 5,000,
// 10,000 and 20,000 frames, which must grow in proportion to the frames.
// Built for 32 bits by gif_reader_bounds.sh, as the wizard runs.

#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "quickintro/gif/gif_image.h"

namespace {

using namespace quickintro::gif;
using Bytes = std::vector<std::uint8_t>;

// A 1 x 1 screen with a 256-colour global table, then frames (or as many as
// fill totalBytes), each its descriptor, a code size byte and no data.
SharedBytes EmptyFrames(std::size_t frames, std::size_t totalBytes) {
  Bytes file = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0xF7, 0, 0};
  for (int i = 0; i < 768; ++i) file.push_back(static_cast<std::uint8_t>(i));
  const Bytes frame = {',', 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 0};
  while (frames ? frames-- > 0 : file.size() + frame.size() + 1 <= totalBytes)
    file.insert(file.end(), frame.begin(), frame.end());
  file.push_back(';');
  return std::make_shared<const Bytes>(std::move(file));
}

// Small blocks and the large ones glibc maps on their own.
std::size_t HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

long PeakKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

}  // namespace

int main() {
  {
    const SharedBytes file = EmptyFrames(0, 4u << 20);
    const long peakBefore = PeakKiB();
    const std::size_t heapBefore = HeapInUse();
    const TGIFImage image = ReadGIFImage(file);
    const double heap = static_cast<double>(HeapInUse() - heapBefore);
    std::printf("%zu bytes, %zu frames: the picture takes %.1f MiB beside its file (%.1f times the file), peak RSS %.1f MiB more\n",
                file->size(), image.Frames().size(), heap / 1048576, heap / static_cast<double>(file->size()),
                static_cast<double>(PeakKiB() - peakBefore) / 1024);
  }
  for (const std::size_t frames : {5000, 10000, 20000}) {
    const TGIFImage image = ReadGIFImage(EmptyFrames(frames, 0));
    const auto start = std::chrono::steady_clock::now();
    const TGIFImage copy = image;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("copying a picture of %zu frames: %.6f s\n", copy.Frames().size(), seconds);
  }
}
