#include "tools/gifdecode/file_reader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace gifdecode {
namespace {

std::string Reason(int error) { return std::generic_category().message(error); }

// The size of a regular file; anything else fails with the reason.
std::uintmax_t RegularFileSize(const std::string& fileName) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(fileName, error);
  if (status.type() == std::filesystem::file_type::not_found) throw EFileError("cannot open: " + Reason(ENOENT));
  if (error) throw EFileError("cannot open: " + error.message());
  if (std::filesystem::is_directory(status)) throw EFileError("cannot open: " + Reason(EISDIR));
  if (!std::filesystem::is_regular_file(status)) throw EFileError("cannot open: not a regular file");
  const std::uintmax_t size = std::filesystem::file_size(fileName, error);
  if (error) throw EFileError("cannot open: " + error.message());
  return size;
}

}  // namespace

std::shared_ptr<const std::vector<std::uint8_t>> ReadWholeFile(const std::string& fileName) {
  const std::uintmax_t size = RegularFileSize(fileName);
  if (size > SIZE_MAX / 2) throw EFileError("cannot read: " + Reason(EFBIG));
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(fileName.c_str(), "rb"), std::fclose);
  if (!file) throw EFileError("cannot open: " + Reason(errno));
  std::setvbuf(file.get(), nullptr, _IONBF, 0);  // one read into the buffer below, no copy on the way
  auto bytes = std::make_shared<std::vector<std::uint8_t>>(static_cast<std::size_t>(size));
  const std::size_t got = std::fread(bytes->data(), 1, bytes->size(), file.get());
  if (std::ferror(file.get())) throw EFileError("cannot read: " + Reason(errno));
  bytes->resize(got);  // a file that shrank since it was measured
  return bytes;
}

}  // namespace gifdecode
