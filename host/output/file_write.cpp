#include "output/file_write.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>
#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "common/file_read.h"

namespace hvhost {

namespace fs = std::filesystem;

namespace {

// Bytes gathered before they go to the file.
constexpr size_t kBufferBytes = 64 * 1024;
// Fresh temporary names tried before giving up (each collision means a
// file of that name already exists).
constexpr int kNameAttempts = 16;

#ifdef _WIN32
int create_new(const std::string &path) {
  return _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
}
long long write_some(int fd, const char *data, size_t n) {
  return _write(fd, data, static_cast<unsigned>(n > (1u << 30) ? (1u << 30) : n));
}
int close_file(int fd) { return _close(fd); }
int remove_file(const std::string &path) { return _unlink(path.c_str()); }
std::string windows_error_text(DWORD code) {
  char buf[256] = {};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buf,
                 sizeof buf, nullptr);
  std::string s = buf;
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == '.')) s.pop_back();
  return s.empty() ? "error " + std::to_string(code) : s;
}
// Replaces the target, or a link at its path, in one step.
bool rename_over(const std::string &from, const std::string &to, std::string *why) {
  if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  *why = windows_error_text(GetLastError());
  return false;
}
// Opens the regular file at path for writing, created or emptied; a link
// (a reparse point) or anything but a file on a disk is refused.
int open_stream(const std::string &path, std::string *why) {
  HANDLE h =
      CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    *why = windows_error_text(GetLastError());
    return -1;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(h, &info) != 0;
  if (!known || GetFileType(h) != FILE_TYPE_DISK ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))) {
    *why = known && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
               ? "is a symbolic link"
               : "is not a regular file";
    CloseHandle(h);
    return -1;
  }
  if (!SetEndOfFile(h)) {
    *why = windows_error_text(GetLastError());
    CloseHandle(h);
    return -1;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
  if (fd < 0) {
    *why = "cannot take the file's handle";
    CloseHandle(h);
  }
  return fd;
}
#else
int create_new(const std::string &path) {
  // O_EXCL: never an existing file, and never through a link of that name.
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
}
long long write_some(int fd, const char *data, size_t n) { return ::write(fd, data, n); }
int close_file(int fd) { return ::close(fd); }
int remove_file(const std::string &path) { return ::unlink(path.c_str()); }
// rename() replaces a link at the target's path instead of following it.
bool rename_over(const std::string &from, const std::string &to, std::string *why) {
  if (::rename(from.c_str(), to.c_str()) == 0) return true;
  *why = system_error_text(errno);
  return false;
}
#endif

#ifndef _WIN32
int open_stream(const std::string &path, std::string *why) {
  // O_NONBLOCK: a FIFO without a reader fails at once instead of waiting
  // for one; it is refused below anyway.
  const int fd =
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
  if (fd < 0) {
    // ENXIO: a FIFO without a reader.
    *why = errno == ELOOP   ? "is a symbolic link"
           : errno == ENXIO ? "is not a regular file"
                            : system_error_text(errno);
    return -1;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    *why = "is not a regular file";
    ::close(fd);
    return -1;
  }
  if (fcntl(fd, F_SETFL, 0) != 0 || ftruncate(fd, 0) != 0) {
    *why = system_error_text(errno);
    ::close(fd);
    return -1;
  }
  return fd;
}
#endif

std::string temporary_name(const std::string &file_name) {
  static std::atomic<unsigned> counter{0};
  static std::random_device device;
  char suffix[48];
  std::snprintf(suffix, sizeof suffix, ".tmp-%08x%04x", static_cast<unsigned>(device()),
                counter++ & 0xFFFFu);
  return "." + file_name + suffix;
}

}  // namespace

AtomicFile::~AtomicFile() { discard(); }

bool AtomicFile::fail(const std::string &what, int error_number) {
  if (error_.empty()) error_ = what + ": " + system_error_text(error_number);
  return false;
}

bool AtomicFile::open(const std::string &path) {
  discard();
  error_.clear();
  buffer_.clear();
  path_ = path;
  const fs::path target(path);
  // A directory in the way would only be found by the rename, after the
  // work.
  std::error_code ec;
  if (fs::is_directory(fs::symlink_status(target, ec))) {
    error_ = "cannot write " + path + ": is a directory";
    return false;
  }
  const std::string file_name = target.filename().string();
  if (file_name.empty() || file_name == "." || file_name == "..") {
    error_ = "cannot write " + path + ": not a file name";
    return false;
  }
  const fs::path dir = target.parent_path();
  int error_number = EEXIST;
  for (int attempt = 0; attempt < kNameAttempts && error_number == EEXIST; ++attempt) {
    const std::string temp = (dir / temporary_name(file_name)).string();
    fd_ = create_new(temp);
    if (fd_ >= 0) {
      temp_path_ = temp;
      return true;
    }
    error_number = errno;
  }
  const std::string where = dir.empty() ? std::string(".") : dir.string();
  return fail("cannot create a file in " + where, error_number);
}

bool AtomicFile::write(std::string_view bytes) {
  if (fd_ < 0 || !error_.empty()) {
    if (error_.empty()) error_ = "cannot write " + path_ + ": the file is not open";
    return false;
  }
  buffer_.append(bytes.data(), bytes.size());
  return buffer_.size() < kBufferBytes || flush();
}

bool AtomicFile::flush() {
  size_t done = 0;
  while (done < buffer_.size()) {
    const long long n = write_some(fd_, buffer_.data() + done, buffer_.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      buffer_.clear();
      // A write that takes nothing without an error: the device is full.
      return fail("cannot write " + path_, n < 0 ? errno : ENOSPC);
    }
    done += static_cast<size_t>(n);
  }
  buffer_.clear();
  return true;
}

bool AtomicFile::commit() {
  if (fd_ < 0) {
    if (error_.empty()) error_ = "cannot write " + path_ + ": the file is not open";
    return false;
  }
  bool ok = error_.empty() && flush();
  const int fd = fd_;
  fd_ = -1;
  // The close reports errors of writes the system had deferred.
  if (close_file(fd) != 0 && ok) ok = fail("cannot write " + path_, errno);
  std::string why;
  if (ok && !rename_over(temp_path_, path_, &why)) {
    error_ = "cannot replace " + path_ + ": " + why;
    ok = false;
  }
  if (!ok) remove_file(temp_path_);
  temp_path_.clear();
  return ok;
}

void AtomicFile::discard() {
  if (fd_ >= 0) {
    close_file(fd_);
    fd_ = -1;
  }
  if (!temp_path_.empty()) {
    remove_file(temp_path_);
    temp_path_.clear();
  }
  buffer_.clear();
}

StreamFile::~StreamFile() { close(); }

bool StreamFile::open(const std::string &path) {
  close();
  error_.clear();
  path_ = path;
  std::error_code ec;
  if (fs::is_directory(fs::symlink_status(path, ec))) {
    error_ = "cannot write " + path + ": is a directory";
    return false;
  }
  std::string why;
  fd_ = open_stream(path, &why);
  if (fd_ < 0) error_ = "cannot write " + path + ": " + why;
  return fd_ >= 0;
}

bool StreamFile::write(std::string_view bytes) {
  if (fd_ < 0 || !error_.empty()) {
    if (error_.empty()) error_ = "cannot write " + path_ + ": the file is not open";
    return false;
  }
  size_t done = 0;
  while (done < bytes.size()) {
    const long long n = write_some(fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error_ = "cannot write " + path_ + ": " + system_error_text(n < 0 ? errno : ENOSPC);
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

bool StreamFile::close() {
  if (fd_ < 0) return error_.empty();
  const int fd = fd_;
  fd_ = -1;
  if (close_file(fd) != 0 && error_.empty())
    error_ = "cannot write " + path_ + ": " + system_error_text(errno);
  return error_.empty();
}

bool write_file_atomically(const std::string &path, std::string_view bytes, std::string *error) {
  AtomicFile file;
  if (!file.open(path) || !file.write(bytes) || !file.commit()) {
    *error = file.error();
    return false;
  }
  return true;
}

}  // namespace hvhost
