// gifdecode: decodes a frame of a GIF picture into a bitmap file (BMP)
// through the wizard's own picture reader, and tells what the picture holds.
// For artwork checks, differential tests and timing.

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <string>
#include <string_view>

#include "gif_image.h"

namespace {

using quickintro::gif::clNone;
using quickintro::gif::TGIFFrame;
using quickintro::gif::TGIFImage;

constexpr const char* kUsage =
    "Usage: gifdecode [--frame N] [--info] [--repeat N] input.gif [output.bmp]\n"
    "\n"
    "Decodes one frame of a GIF picture (GIF87a or GIF89a) into a bitmap file.\n"
    "\n"
    "  --frame N    the frame to write, counted from 0 (default 0)\n"
    "  --info       print the picture's facts: version, logical size, frames, and\n"
    "               per frame position, size, colours, transparency, interlace,\n"
    "               delay, disposal and whether its data are damaged\n"
    "  --repeat N   read and decode the file N times before writing (for timing)\n"
    "  --help       this text\n"
    "\n"
    "output.bmp may be left out with --info. Exit status 0 on success, 1 when the\n"
    "picture cannot be read or written, 2 for a wrong command line.\n";

struct Options {
  int frame = 0;
  bool info = false;
  long repeat = 1;
  std::string input;
  std::string output;
};

struct UsageError {
  std::string message;
};

long ParseCount(std::string_view option, const char* text, long minimum) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (*text == '\0' || *end != '\0' || value < minimum || value > 1000000000L)
    throw UsageError{std::string(option) + " needs a whole number of at least " + std::to_string(minimum) +
                     ", not \"" + text + "\""};
  return value;
}

Options ParseOptions(int argc, char** argv) {
  Options options;
  int positional = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    const bool takesValue = argument == "--frame" || argument == "--repeat";
    if (takesValue && i + 1 >= argc) throw UsageError{std::string(argument) + " needs a number"};
    if (argument == "--frame") options.frame = static_cast<int>(ParseCount(argument, argv[++i], 0));
    else if (argument == "--repeat") options.repeat = ParseCount(argument, argv[++i], 1);
    else if (argument == "--info") options.info = true;
    else if (argument.size() > 1 && argument[0] == '-') throw UsageError{"unknown option " + std::string(argument)};
    else if (positional == 0 && ++positional) options.input = argument;
    else if (positional == 1 && ++positional) options.output = argument;
    else throw UsageError{"too many file names"};
  }
  if (options.input.empty()) throw UsageError{"no input file"};
  if (options.output.empty() && !options.info) throw UsageError{"no output file (or --info)"};
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

void PrintFrame(std::size_t index, TGIFFrame& frame) {
  const auto& item = *frame.PixelData;
  std::string decoded = "decoded";
  try {
    frame.FrameBitmap();
  } catch (const std::exception& failure) {
    decoded = std::string("not decodable: ") + failure.what();
  }
  std::printf("frame %zu: position %d,%d size %dx%d colours %d (%s) transparent %s interlaced %s "
              "delay %u ms disposal %u corrupted %s %s\n",
              index, frame.Left, frame.Top, item.FrameWidth, item.FrameHeight, item.FrameTable.Count,
              frame.OwnTable ? "local" : "global", ColorText(frame.TransparentRGB).c_str(),
              frame.IsInterlaced ? "yes" : "no", unsigned{frame.DelayMs}, unsigned{frame.DisposalCode},
              frame.IsCorrupted ? "yes" : "no", decoded.c_str());
}

void PrintInfo(TGIFImage& image) {
  std::printf("version %s\n", VersionText(image.VersionCode));
  std::printf("logical size %ux%u\n", unsigned{image.LogicalWidth}, unsigned{image.LogicalHeight});
  std::printf("background %s\n", ColorText(image.BackdropColor).c_str());
  if (image.HasLoopBlock) std::printf("loop count %d\n", image.LoopCount);
  for (const std::string& line : image.Comment()) std::printf("comment %s\n", line.c_str());
  std::printf("frames %zu\n", image.FrameList.size());
  for (std::size_t i = 0; i < image.FrameList.size(); ++i) PrintFrame(i, *image.FrameList[i]);
}

void WriteFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + name);
}

TGIFFrame& RequireFrame(TGIFImage& image, int index) {
  if (index >= std::ssize(image.FrameList))
    throw std::runtime_error("there is no frame " + std::to_string(index) + "; the picture has " +
                             std::to_string(image.FrameList.size()));
  return *image.FrameList[static_cast<std::size_t>(index)];
}

int Run(const Options& options) {
  TGIFImage image;
  for (long round = 0; round < options.repeat; ++round) {
    image.LoadFromFile(options.input);
    RequireFrame(image, options.frame).FrameBitmap();
  }
  if (options.info) PrintInfo(image);
  if (!options.output.empty()) WriteFile(options.output, RequireFrame(image, options.frame).FrameBitmap().File());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::string_view(argv[i]) == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
  }
  Options options;
  try {
    options = ParseOptions(argc, argv);
  } catch (const UsageError& wrong) {
    std::fprintf(stderr, "gifdecode: %s\n\n%s", wrong.message.c_str(), kUsage);
    return 2;
  }
  try {
    return Run(options);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "gifdecode: %s: %s\n", options.input.c_str(), failure.what());
  } catch (...) {
    std::fprintf(stderr, "gifdecode: %s: unexpected failure\n", options.input.c_str());
  }
  return 1;
}
