#include "platform/Bundle.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {
std::string executableDirectory() {
    std::error_code error;
    fs::path exe = fs::read_symlink("/proc/self/exe", error);
    return error ? std::string(".") : exe.parent_path().string();
}
}  // namespace

Bundle& Bundle::mainBundle() {
    static Bundle bundle(executableDirectory());
    return bundle;
}

Bundle::Bundle(std::string executableDirectory) {
    fs::path dir(std::move(executableDirectory));
    std::error_code error;
    fs::path buildTree = dir / "resources";
    resources = fs::is_directory(buildTree, error) ? buildTree.string()
                                                   : (dir / ".." / "share" / "fishtank").string();
}

std::optional<std::string> Bundle::pathForResource(std::string_view name,
                                                   std::string_view type) const {
    fs::path path = fs::path(resources) / (std::string(name) + "." + std::string(type));
    std::error_code error;
    if (!fs::is_regular_file(path, error)) return std::nullopt;
    return path.string();
}
