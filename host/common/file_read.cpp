#include "common/file_read.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace hvhost {

namespace {

#ifdef _WIN32
using StatRecord = struct _stat64;
int open_for_reading(const char *path) { return _open(path, _O_RDONLY | _O_BINARY); }
int stat_open_file(int fd, StatRecord *st) { return _fstat64(fd, st); }
long long read_some(int fd, char *buf, size_t n) {
  return _read(fd, buf, static_cast<unsigned>(n));
}
void close_file(int fd) { _close(fd); }
#else
using StatRecord = struct stat;
// Non-blocking, so that opening a FIFO with no writer returns at once; the
// type check below then refuses it.
int open_for_reading(const char *path) {
  return open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
}
int stat_open_file(int fd, StatRecord *st) { return fstat(fd, st); }
long long read_some(int fd, char *buf, size_t n) { return read(fd, buf, n); }
void close_file(int fd) { close(fd); }
#endif

std::string kind_of(const StatRecord &st) {
#ifndef _WIN32
  if (S_ISCHR(st.st_mode)) return "a character device";
  if (S_ISBLK(st.st_mode)) return "a block device";
  if (S_ISFIFO(st.st_mode)) return "a FIFO";
  if (S_ISSOCK(st.st_mode)) return "a socket";
#else
  if ((st.st_mode & _S_IFMT) == _S_IFCHR) return "a character device";
#endif
  return "not a file";
}

}  // namespace

std::string system_error_text(int error_number) {
  return std::generic_category().message(error_number);
}

std::string byte_size_text(size_t bytes) {
  if (bytes >= (size_t{1} << 20) && bytes % (size_t{1} << 20) == 0)
    return std::to_string(bytes >> 20) + " MiB";
  if (bytes >= (size_t{1} << 10) && bytes % (size_t{1} << 10) == 0)
    return std::to_string(bytes >> 10) + " KiB";
  return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

bool read_regular_file(const std::string &path, size_t max_bytes, std::string *content,
                       std::string *error) {
  content->clear();
  const int fd = open_for_reading(path.c_str());
  if (fd < 0) {
    *error = system_error_text(errno);
    return false;
  }
  StatRecord st{};
  if (stat_open_file(fd, &st) != 0) {
    *error = system_error_text(errno);
    close_file(fd);
    return false;
  }
  if ((st.st_mode & S_IFMT) == S_IFDIR) {
    *error = "is a directory";
    close_file(fd);
    return false;
  }
  if ((st.st_mode & S_IFMT) != S_IFREG) {
    *error = "is not a regular file (" + kind_of(st) + ")";
    close_file(fd);
    return false;
  }
  const auto too_big = [&](unsigned long long size) {
    *error = "is " + std::to_string(size) + " bytes; the limit is " + std::to_string(max_bytes) +
             " (" + byte_size_text(max_bytes) + ")";
    close_file(fd);
    content->clear();
    return false;
  };
  if (st.st_size < 0 || static_cast<unsigned long long>(st.st_size) > max_bytes)
    return too_big(static_cast<unsigned long long>(st.st_size));
#ifndef _WIN32
  // Regular files never block; reads below are plain.
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
#endif
  // The file may grow while it is read: stop once it passes the limit.
  content->reserve(static_cast<size_t>(st.st_size));
  char buf[65536];
  for (;;) {
    const long long n = read_some(fd, buf, sizeof buf);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      *error = system_error_text(errno);
      close_file(fd);
      content->clear();
      return false;
    }
    content->append(buf, static_cast<size_t>(n));
    if (content->size() > max_bytes) return too_big(content->size());
  }
  close_file(fd);
  return true;
}

}  // namespace hvhost
