#pragma once

#include <optional>
#include <string>
#include <string_view>

// The program's resource folder, found from the executable's own location: "resources"
// beside it in the build tree, or "../share/fishtank" in an installed tree.
class Bundle {
  public:
    static Bundle& mainBundle();
    explicit Bundle(std::string executableDirectory);

    // The full path of the resource file name.type, or none when there is no such file.
    std::optional<std::string> pathForResource(std::string_view name, std::string_view type) const;
    const std::string& resourcePath() const { return resources; }

  private:
    std::string resources;
};
