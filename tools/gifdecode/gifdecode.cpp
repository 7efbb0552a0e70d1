// gifdecode: decodes a frame of a GIF picture into a bitmap file (BMP)
// through the wizard's own picture reader, and tells what the picture holds.
// For artwork checks, differential tests and timing.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "quickintro/gif/gif_image.h"
#include "tools/gifdecode/file_reader.h"

namespace {

using quickintro::clNone;
using quickintro::gif::TGIFFrame;
using quickintro::gif::TGIFImage;
using quickintro::gif::TGIFReading;

constexpr const char* kUsage =
    "Usage: gifdecode [--frame N] [--info] [--repeat N] input.gif [output.bmp]\n"
    "\n"
    "Decodes one frame of a GIF picture (GIF87a or GIF89a) into a bitmap file.\n"
    "\n"
    "  --frame N    the frame to write, counted from 0 (default 0)\n"
    "  --info       print the picture's facts: version, logical size, frames, and\n"
    "               per frame position, size, colours, transparency, interlace,\n"
    "               delay, disposal, whether its data are damaged (corrupted) and\n"
    "               whether it can be decoded; every frame read is listed, even\n"
    "               when another one cannot be decoded\n"
    "  --repeat N   read and decode the file N times before writing (for timing)\n"
    "  --help       this text\n"
    "\n"
    "output.bmp may be left out with --info. Frames of more than 67108864 pixels\n"
    "(8192 x 8192), or of more than 65536 pixels with too little data to fill them,\n"
    "are refused. Damaged data decode as far as they go (the rest of the frame\n"
    "keeps colour 0) and count as read.\n"
    "\n"
    "Exit status: 0 when the frame was written and, with --info, every frame was\n"
    "read and decoded; 1 when the picture or the frame cannot be read or written\n"
    "(messages name the file and the reason); 2 for a wrong command line.\n";

struct TOptions {
  int Frame = 0;
  bool Info = false;
  long Repeat = 1;
  std::string Input;
  std::string Output;
};

// A wrong command line; the message says what is wrong.
class EUsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

long ParseCount(std::string_view option, const char* text, long minimum) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (*text == '\0' || *end != '\0' || value < minimum || value > 1000000000L)
    throw EUsageError(std::string(option) + " needs a whole number of at least " + std::to_string(minimum) +
                      ", not \"" + text + "\"");
  return value;
}

TOptions ParseOptions(int argc, char** argv) {
  TOptions options;
  int positional = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    const bool takesValue = argument == "--frame" || argument == "--repeat";
    if (takesValue && i + 1 >= argc) throw EUsageError(std::string(argument) + " needs a number");
    if (argument == "--frame") options.Frame = static_cast<int>(ParseCount(argument, argv[++i], 0));
    else if (argument == "--repeat") options.Repeat = ParseCount(argument, argv[++i], 1);
    else if (argument == "--info") options.Info = true;
    else if (argument.size() > 1 && argument[0] == '-') throw EUsageError("unknown option " + std::string(argument));
    else if (positional == 0 && ++positional) options.Input = argument;
    else if (positional == 1 && ++positional) options.Output = argument;
    else throw EUsageError("too many file names");
  }
  if (options.Input.empty()) throw EUsageError("no input file");
  if (options.Output.empty() && !options.Info) throw EUsageError("no output file (or --info)");
  return options;
}

std::string ColorText(std::uint32_t color) {
  if (color == clNone) return "none";
  char text[16];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
  return text;
}

const char* VersionText(std::uint8_t code) {
  switch (code) {
    case 1: return "GIF87a";
    case 2: return "GIF89a";
    default: return "none";
  }
}

// "gifdecode: FILE: what", on standard error.
void Complain(const TOptions& options, const std::string& what) {
  std::fprintf(stderr, "gifdecode: %s: %s\n", options.Input.c_str(), what.c_str());
}

// What a failure being handled says.
std::string FailureText(const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const std::exception& caught) {
    return caught.what();
  }
}

// Reads the file's frames without decoding them; the frames read before a
// failure stay. A file that cannot be read at all fails with the reason.
TGIFReading ReadPicture(const std::string& fileName) {
  auto bytes = gifdecode::ReadWholeFile(fileName);
  const std::span<const std::uint8_t> whole(*bytes);
  return quickintro::gif::ReadGIFFrames(std::move(bytes), whole);
}

// Decodes the frame; returns why it cannot be, or an empty text.
std::string DecodeFailure(TGIFImage& image, std::size_t index) {
  try {
    image.DecodeFrame(index);
  } catch (const std::exception& failure) {
    return failure.what();
  }
  return {};
}

// One line per frame. Each bitmap is let go once described, so that a
// picture of many frames never holds them all. False when a frame cannot be
// decoded.
bool PrintFrames(const TOptions& options, TGIFImage& image) {
  bool allDecoded = true;
  for (std::size_t index = 0; index < image.Frames().size(); ++index) {
    const std::string failure = DecodeFailure(image, index);
    const TGIFFrame& frame = image.Frames()[index];
    std::printf("frame %zu: position %d,%d size %dx%d colours %d (%s) transparent %s interlaced %s "
                "delay %u ms disposal %u corrupted %s %s\n",
                index, frame.Left(), frame.Top(), frame.Width(), frame.Height(),
                quickintro::gif::ColorCount(frame.FrameTable()), frame.OwnTable() ? "local" : "global",
                ColorText(frame.TransparentRGB()).c_str(), frame.IsInterlaced() ? "yes" : "no",
                unsigned{frame.DelayMs()}, unsigned{frame.DisposalCode()}, frame.IsCorrupted() ? "yes" : "no",
                failure.empty() ? "decoded" : ("not decodable: " + failure).c_str());
    if (!failure.empty()) {
      Complain(options, "frame " + std::to_string(index) + ": " + failure);
      allDecoded = false;
    }
    image.ForgetBitmap(index);
  }
  return allDecoded;
}

void PrintInfo(const TGIFImage& image) {
  std::printf("version %s\n", VersionText(image.VersionCode()));
  std::printf("logical size %ux%u\n", unsigned{image.LogicalWidth()}, unsigned{image.LogicalHeight()});
  std::printf("background %s\n", ColorText(image.BackdropColor()).c_str());
  if (image.HasLoopBlock()) std::printf("loop count %d\n", image.LoopCount());
  for (const std::string& line : image.Comment()) std::printf("comment %s\n", line.c_str());
  std::printf("frames %zu\n", image.Frames().size());
}

// Writes frame options.Frame to options.Output; false, with a message, when
// the frame is missing or cannot be decoded or written.
bool WriteFrame(const TOptions& options, TGIFImage& image) {
  const std::string frameName = "frame " + std::to_string(options.Frame);
  if (options.Frame >= std::ssize(image.Frames())) {
    Complain(options, "there is no " + frameName + "; the picture has " + std::to_string(image.Frames().size()));
    return false;
  }
  const auto index = static_cast<std::size_t>(options.Frame);
  if (const std::string failure = DecodeFailure(image, index); !failure.empty()) {
    Complain(options, frameName + ": " + failure);
    return false;
  }
  const std::vector<std::uint8_t>& bytes = image.DecodeFrame(index).File();
  std::ofstream out(options.Output, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "gifdecode: %s: cannot write: %s\n", options.Output.c_str(), std::strerror(errno));
    return false;
  }
  return true;
}

int Run(const TOptions& options) {
  TGIFReading reading;
  // Every round reads the file and decodes the frame to write; the last one's
  // frames are used.
  for (long round = 0; round < options.Repeat; ++round) {
    reading = ReadPicture(options.Input);
    if (options.Frame < std::ssize(reading.Image.Frames()))
      DecodeFailure(reading.Image, static_cast<std::size_t>(options.Frame));
  }
  TGIFImage& image = reading.Image;
  const std::string readFailure = reading.Failure ? FailureText(reading.Failure) : std::string();
  if (!readFailure.empty()) {
    if (image.Frames().empty()) {
      Complain(options, readFailure);
      return 1;
    }
    Complain(options, "reading stopped after frame " + std::to_string(image.Frames().size() - 1) + ": " +
                          readFailure);
  }
  bool ok = true;
  if (!options.Output.empty()) ok = WriteFrame(options, image);
  if (options.Info) {
    PrintInfo(image);
    ok = PrintFrames(options, image) && readFailure.empty() && ok;
  }
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::string_view(argv[i]) == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
  }
  TOptions options;
  try {
    options = ParseOptions(argc, argv);
  } catch (const EUsageError& wrong) {
    std::fprintf(stderr, "gifdecode: %s\n\n%s", wrong.what(), kUsage);
    return 2;
  }
  try {
    return Run(options);
  } catch (const std::exception& failure) {
    Complain(options, failure.what());
  } catch (...) {
    Complain(options, "unexpected failure");
  }
  return 1;
}
