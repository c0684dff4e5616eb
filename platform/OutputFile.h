#pragma once

#include <cstdio>
#include <functional>
#include <string>

// Whether two paths name the same file: by device and inode where both exist, through
// symbolic links; else by their absolute paths, links followed.
bool sameFile(const std::string& a, const std::string& b);

// Whether standard output was given open: ask before ensureStandardStreamsOpen().
bool standardOutputOpen();

// A file written whole, once, such as a picture: its place is checked when it is opened,
// before the work that makes it. A device or FIFO is opened then and written into (a FIFO
// whose reader has not started within a second is refused); anything else, through symbolic
// links, is written into a temporary file of a unique name beside it that is renamed over
// it once complete: a failure or an interruption (SIGINT, SIGTERM, SIGHUP, unless ignored)
// never leaves a half file, nor the temporary one. An existing file keeps its permissions
// (and, for root, its owner); a hard link to it is not kept, as the file is a new one.
class OutputFile {
  public:
    // Throws std::runtime_error whose text says in one line what is wrong with the place.
    explicit OutputFile(const std::string& path);
    // An open descriptor, such as standard output's, taken over.
    OutputFile(int descriptor, std::string name);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Writes what `encode` makes (false when it fails, errno set where there is one). A
    // file-size limit or a reader gone is a failure, not a signal. False with `error` one
    // line (the reason) when the file could not be written; once only.
    bool write(const std::function<bool(std::FILE*)>& encode, std::string& error);
    const std::string& name() const { return path; }

  private:
    std::string path;    // as given
    std::string target;  // a file to replace, links followed; empty when `fd` is written
    int fd = -1;         // a device, FIFO or standard output, open from the start
};
