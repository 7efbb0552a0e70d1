#pragma once
// Reads a GIF file's blocks into a TGIFImage: the header, the extension runs
// and the frames, each frame keeping where its compressed data stand in the
// file. Reads only from the picture's own bytes, through one cursor.
// Platform-free.

#include <cstdint>
#include <string>
#include <vector>

#include "quickintro/gif/byte_cursor.h"
#include "quickintro/gif/gif_image.h"

namespace quickintro::gif {

// "Unrecognized extension block: " and the label as two upper-case hex digits.
std::string UnrecognizedExtensionMessage(std::uint8_t label);

// One extension block, the cursor just behind its "!" introducer. Fails
// with UnrecognizedExtensionMessage for a label other than the four known;
// takes the fixed part and the sub-blocks as far as the data hold them.
TExtension ReadOneExtension(TByteCursor& data);

// The graphic control and comment blocks of a run of extension blocks as
// the file holds it ("!" introducers included), read again.
std::vector<TExtension> KeptExtensions(std::span<const std::uint8_t> run);

class TGifParser {
 public:
  // data reads the file's bytes, which the picture's TGIFData keeps.
  TGifParser(TGIFImage& image, std::span<const std::uint8_t> file) : image_(image), data_(file) {}

  // The header and the block loop; frames are appended to the picture as
  // they are read, so those read before a failure stay.
  void ParseBlocks();

 private:
  // What a run of extension blocks leaves for the frame after it.
  struct TGraphicControl {
    std::uint8_t Flags = 0;
    std::uint8_t TransparentIndex = 0;
    std::uint16_t Delay = 0;  // hundredths of a second
  };
  struct TExtensionRun {
    std::size_t KeptFrom = 0;  // the kept blocks: behind the last plain text block
    std::size_t End = 0;
    int Kept = 0;
    bool HasCommentLines = false;
    std::vector<TGraphicControl> Controls;
  };

  void ReadSignature();
  void ReadScreenDescriptor();
  void ReadGlobalTable();
  // Reads the "!" blocks starting at ch and leaves ch at the first byte that
  // is not "!".
  TExtensionRun ReadExtensionRun(std::uint8_t& ch);
  void NoteExtension(const TExtension& extension, TExtensionRun& run);
  void ReadImageBlock(const TExtensionRun& run, std::uint8_t& ch);
  void ReadImageDescriptor(TGIFFrame& frame);
  void FindSubBlocks(TGIFFrame& frame);
  void ApplyGraphicControls(TGIFFrame& frame, const std::vector<TGraphicControl>& controls);
  std::uint8_t NextByteOrTrailer();

  TGIFImage& image_;
  TByteCursor data_;
  std::uint8_t screenFlags_ = 0;
  std::uint8_t backgroundIndex_ = 0;
};

}  // namespace quickintro::gif
