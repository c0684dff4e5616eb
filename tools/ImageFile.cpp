#include "tools/ImageFile.h"

#include <unistd.h>

#include <stdexcept>

#include "app/CommandLine.h"

namespace {
// Keeps standard output for the image: what the program prints goes to standard error.
int reserveStandardOutput() {
    std::fflush(stdout);
    int kept = ::dup(STDOUT_FILENO);
    ::dup2(STDERR_FILENO, STDOUT_FILENO);
    return kept;
}
}  // namespace

std::unique_ptr<OutputFile> openImageFile(const std::string& path, bool standardOutputWasOpen) {
    if (path == "-") {
        if (!standardOutputWasOpen) failUsage("fishtank-render", "-o -: standard output is closed");
        return std::make_unique<OutputFile>(reserveStandardOutput(), "standard output");
    }
    try {
        return std::make_unique<OutputFile>(path);
    } catch (const std::runtime_error& e) {
        failUsage("fishtank-render", "cannot write " + path + ": " + e.what());
    }
}

void writeImageFile(OutputFile& output, const std::function<bool(std::FILE*)>& encode) {
    std::string error;
    if (!output.write(encode, error))
        failUsage("fishtank-render", "cannot write " + output.name() + ": " + error);
}
