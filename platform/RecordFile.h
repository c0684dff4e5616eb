#pragma once

#include <string>

// A file that a program appends a record to, line by line, without ever waiting for it
// or being stopped by it: each line is written whole or not at all, in one write; a pipe
// or FIFO that is full takes nothing rather than holding the caller up; a reader that went
// away or a file-size limit is an error, not a signal. A regular file is locked (an
// advisory lock) so that two programs never record into it at once.
class RecordFile {
  public:
    // Opens `path` for appending, creating a regular file that does not exist. Throws
    // std::runtime_error whose text says why it cannot be recorded into, in one line: it
    // is a directory, its folder is missing, it is not writable, it is a FIFO that no
    // program reads, or another program records into it.
    explicit RecordFile(const std::string& path);
    ~RecordFile();
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;

    enum class Append { written, wouldWait, failed };
    // Appends `line`, which ends with a newline. `failed` sets errno; after it, the file is
    // left ending with its last whole line.
    Append append(const std::string& line);
    // Starts a recording on a line of its own: a newline first when the file's last line
    // has none, then `line`.
    Append begin(const std::string& line);

    // Removes the file again if this object created it: for a program that cannot start.
    void discardIfCreated();

  private:
    int fd = -1;
    bool created = false;
    bool regular = false;
    std::string path;
};
