#include "reader/save_listing.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace tallyglass {
namespace {

void WriteAll(int fd, const char* data, std::size_t size, const std::string& path) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      ::close(fd);
      throw std::system_error(err, std::generic_category(), "cannot write " + path);
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

}  // namespace

void write_crlf_lines(const std::vector<std::string>& lines, const std::string& path) {
  std::string bytes;
  std::size_t total = 0;
  for (const auto& line : lines) total += line.size() + 2;
  bytes.reserve(total);
  for (const auto& line : lines) {
    bytes += line;
    bytes += "\r\n";
  }
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) throw std::system_error(errno, std::generic_category(), "cannot create " + path);
  WriteAll(fd, bytes.data(), bytes.size(), path);
  if (::close(fd) != 0) throw std::system_error(errno, std::generic_category(), "cannot write " + path);
}

void save_listing(const Listing& listing, const std::string& path) { write_crlf_lines(listing, path); }

void write_error_log(const RenderResult& rendered, const std::string& path) {
  if (rendered.ok()) return;
  const std::string text = rendered.failures.back().message + "\n";
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return;
  try {
    WriteAll(fd, text.data(), text.size(), path);
  } catch (const std::system_error&) {
    return;  // WriteAll closed it
  }
  ::close(fd);
}

}  // namespace tallyglass
