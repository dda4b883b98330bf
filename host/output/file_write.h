// The host's two ways of writing an output file, each failure naming the
// system's reason. AtomicFile (snapshots) is either complete or not there:
// the bytes go to a new temporary file in the same directory, renamed over
// the target once every write and the close have succeeded, so a symbolic
// link planted at the target's path is replaced, never followed.
// StreamFile (the call trace) writes straight to its name, a line at a time.
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

// A file written straight to its name, each write going to the system at
// once (no buffer), so that what was written can be read while the program
// runs and stays there if it is killed: the --trace file. The target is
// created or emptied; a symbolic link at its name is refused (O_NOFOLLOW),
// as is anything but a regular file (a FIFO, a device, a directory).
class StreamFile {
 public:
  StreamFile() = default;
  ~StreamFile();
  StreamFile(const StreamFile &) = delete;
  StreamFile &operator=(const StreamFile &) = delete;

  // False, with error() set ("cannot write t.txt: is a symbolic link").
  bool open(const std::string &path);
  // Once a write has failed, every later one fails too and close()
  // reports the first failure.
  bool write(std::string_view bytes);
  // Closes the file. False, with error() set, when a write or the close
  // failed; what was written stays.
  bool close();

  // The open file's descriptor (-1 when closed): a crash report writes its
  // last lines through it.
  int descriptor() const { return fd_; }
  const std::string &error() const { return error_; }

 private:
  int fd_ = -1;
  std::string path_;
  std::string error_;
};

// Writes bytes as the whole file at path through an AtomicFile. False,
// with *error set, on failure.
bool write_file_atomically(const std::string &path, std::string_view bytes, std::string *error);

}  // namespace hvhost
