#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <utility>

#include "platform/CameraDevice.h"
#include "platform/CameraProbe.h"

std::vector<CameraDevice::Node> CameraDevice::list() {
    std::vector<std::pair<unsigned long, std::string>> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/dev", error)) {
        std::string name = entry.path().filename().string();
        if (name.size() <= 5 || name.rfind("video", 0) != 0) continue;
        unsigned long number = 0;
        const char* end = name.c_str() + name.size();
        auto [parsed, problem] = std::from_chars(name.c_str() + 5, end, number);
        if (parsed == end && problem == std::errc())
            found.emplace_back(number, entry.path().string());
    }
    std::sort(found.begin(), found.end());
    std::vector<Node> nodes;
    for (const auto& [number, path] : found) {
        Node node;
        node.path = path;
        int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            node.problem = openProblem(errno);
            node.error = errno;
        } else {
            node.opened = true;
            NodeProbe p = probeNode(fd);
            ::close(fd);
            const auto* card = reinterpret_cast<const char*>(p.capability.card);
            node.card.assign(card, strnlen(card, sizeof p.capability.card));
            node.problem = p.problem;
            node.infrared = p.infrared;
            if (!p.problem) node.mode = p.best.text();
        }
        nodes.push_back(node);
    }
    return nodes;
}
