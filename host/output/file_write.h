// Writing an output file (a snapshot, the call trace) so that it is either
// complete or not there: the bytes go to a new temporary file in the same
// directory, which is renamed over the target once every write and the
// close have succeeded. A symbolic link planted at the target's path is
// replaced by the file, never followed, and a failure names the system's
// reason.
#pragma once

#include <string>
#include <string_view>

namespace hvhost {

class AtomicFile {
 public:
  AtomicFile() = default;
  // Removes the temporary file unless it was committed.
  ~AtomicFile();
  AtomicFile(const AtomicFile &) = delete;
  AtomicFile &operator=(const AtomicFile &) = delete;

  // Creates the temporary file beside path (a fresh name, never an
  // existing file or link). False, with error() set, when the directory
  // cannot take it or a directory has the target's name.
  bool open(const std::string &path);
  // Buffered. Once a write has failed, every later one fails too and
  // commit() reports the first failure.
  bool write(std::string_view bytes);
  // Writes what is buffered, closes the file and renames it to the path
  // given to open(). False, with error() set, on any failure; the
  // temporary file is then removed and the target left as it was.
  bool commit();
  // Removes the temporary file; the target is left as it was.
  void discard();

  bool is_open() const { return fd_ >= 0; }
  const std::string &path() const { return path_; }
  // "cannot write out/a.png: No space left on device".
  const std::string &error() const { return error_; }

 private:
  bool flush();
  bool fail(const std::string &what, int error_number);

  int fd_ = -1;
  std::string path_;
  std::string temp_path_;
  std::string buffer_;
  std::string error_;
};

// Writes bytes as the whole file at path through an AtomicFile. False,
// with *error set, on failure.
bool write_file_atomically(const std::string &path, std::string_view bytes, std::string *error);

}  // namespace hvhost
