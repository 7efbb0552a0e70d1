#include "tests/quickintro/gif/support/giflib_reader.h"

#include <algorithm>
#include <cstring>

namespace quickintro::test {
namespace {

struct TMemoryInput {
  std::span<const std::uint8_t> Bytes;
  std::size_t Position = 0;
};

int ReadMemory(GifFileType* gif, GifByteType* into, int length) {
  auto* input = static_cast<TMemoryInput*>(gif->UserData);
  const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(length), input->Bytes.size() - input->Position);
  std::memcpy(into, input->Bytes.data() + input->Position, count);
  input->Position += count;
  return static_cast<int>(count);
}

}  // namespace

void TGifFileCloser::operator()(GifFileType* file) const {
  int error = 0;
  DGifCloseFile(file, &error);
}

GifFilePtr SlurpWithGiflib(std::span<const std::uint8_t> file) {
  TMemoryInput input{file};
  int error = 0;
  GifFilePtr gif(DGifOpen(&input, ReadMemory, &error));
  if (!gif || DGifSlurp(gif.get()) != GIF_OK) return nullptr;
  return gif;
}

}  // namespace quickintro::test
