#pragma once
// Reads a whole picture file into memory for gifdecode.

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace gifdecode {

// A file that cannot be read; the message says why ("cannot open: Is a
// directory", "cannot read: ...").
class EFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The file's bytes, read in one piece. Refuses what is not a regular file (a
// folder, a device, a pipe) before allocating anything, and never allocates
// more than the file holds when it is opened.
std::shared_ptr<const std::vector<std::uint8_t>> ReadWholeFile(const std::string& fileName);

}  // namespace gifdecode
