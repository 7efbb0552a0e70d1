#pragma once
// Reads a GIF file's blocks into a TGIFImage: the header, the extension runs
// and the frames, keeping each frame's compressed data as it stood. Reads
// only from the picture's own bytes. Platform-free.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "quickintro/gif/gif_image.h"
#include "quickintro/gif/gif_stream.h"

namespace quickintro::gif {

inline constexpr std::uint8_t kExtensionIntroducer = '!';
inline constexpr std::uint8_t kImageIntroducer = ',';
inline constexpr std::uint8_t kTrailer = ';';

inline constexpr std::uint8_t kGraphicControlLabel = 0xF9;
inline constexpr std::uint8_t kCommentLabel = 0xFE;
inline constexpr std::uint8_t kPlainTextLabel = 0x01;
inline constexpr std::uint8_t kApplicationLabel = 0xFF;

inline constexpr std::int16_t kLoopCountLimit = 30000;

// "Unrecognized extension block: " and the label as two upper-case hex digits.
std::string UnrecognizedExtensionMessage(std::uint8_t label);

// 2, 4, ... 256 colours give 1 to 8 bits; any other count fails with
// "Wrong number of colors; must be a power of 2".
int ColorCountToBits(int count);

// A "NETSCAPE2.0" application block whose first sub-block starts with 1.
bool IsLoopBlock(const TExtension& extension);

class TGifParser {
 public:
  // data reads the file's bytes, which owner keeps; frames keep views into them.
  TGifParser(TGIFImage& image, TByteViewStream& data, SharedBytes owner)
      : image_(image), data_(data), owner_(std::move(owner)) {}

  // The header and the block loop; frames are appended to the picture as
  // they are read, so those read before a failure stay.
  void ParseBlocks();

  void ReadSignature();
  void ReadScreenDescriptor();
  void ReadGlobalTable();
  // Reads the "!" blocks starting at ch; returns the kept graphic control
  // and comment blocks and leaves ch at the first byte that is not "!".
  std::vector<TExtension> ReadExtensionRun(std::uint8_t& ch);
  TExtension ReadOneExtension();
  std::vector<std::string> ReadSubBlockStrings();
  void ReadFrameBlock(TGIFFrame& frame);

 private:
  void ReadImageBlock(std::vector<TExtension> extensions, std::uint8_t& ch);
  void KeepAsPictureComment(const std::vector<TExtension>& run);
  void CopyImageData(TGIFFrame& frame);
  void FindSubBlocks(TGIFFrame& frame);
  void ApplyExtensions(TGIFFrame& frame);
  std::uint8_t NextByteOrTrailer();

  TGIFImage& image_;
  TByteViewStream& data_;
  SharedBytes owner_;
  std::uint8_t screenFlags_ = 0;
  std::uint8_t backgroundIndex_ = 0;
};

}  // namespace quickintro::gif
