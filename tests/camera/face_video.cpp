// Writes a synthetic camera video for the tests and benchmarks:
//   face-video OUT.avi WIDTHxHEIGHT SECONDS still|talk|move|path|turn|none [FACE [ROOM [SEED]]]
// still: the head at the neutral place; talk: the same, speaking; move: neutral for 1.5 s,
// then 12 cm to the user's right within half a second, and there; path: neutral for 1 s,
// then the tests' moving head; turn: facing the camera for 1.5 s, then turned 25 degrees
// to the user's own right until 3.5 s, then 25 degrees to their left; none: the room, no
// face. FACE: astronaut (the default) or hopper; ROOM: clean (the default), dim, blurred or
// compressed (H.264: name the file .mkv); SEED: the noise's, 1 unless given.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/camera/SyntheticCamera.h"

int main(int argc, char** argv) {
    int width = 0, height = 0;
    const std::string path = argc >= 5 ? argv[4] : "";
    const std::string faceName = argc >= 6 ? argv[5] : "astronaut";
    const std::string roomName = argc >= 7 ? argv[6] : "clean";
    const Room rooms[] = {Room::clean, Room::dim, Room::blurred, Room::compressed};
    const Room* room = std::find_if(std::begin(rooms), std::end(rooms),
                                    [&](Room r) { return roomName == nameOf(r); });
    const char* paths[] = {"still", "talk", "move", "path", "turn", "none"};
    const bool known = std::any_of(std::begin(paths), std::end(paths),
                                   [&](const char* p) { return path == p; });
    if (!known ||
        (faceName != "astronaut" && faceName != "hopper") || room == std::end(rooms) ||
        argc > 8 || std::sscanf(argv[2], "%dx%d", &width, &height) != 2) {
        std::fputs("usage: face-video OUT.avi WIDTHxHEIGHT SECONDS "
                   "still|talk|move|path|turn|none "
                   "[astronaut|hopper [clean|dim|blurred|compressed [SEED]]]\n",
                   stderr);
        return 2;
    }
    const TestFace face = faceName == "hopper" ? TestFace::hopper : TestFace::astronaut;
    auto headsAt = [&](double t) {
        HeadPose offset;
        if (path == "move") offset.x = 12 * std::clamp((t - 1.5) / 0.5, 0.0, 1.0);
        if (path == "path" && t >= 1.0) offset = SyntheticCamera::path(t - 1.0);
        if (path == "turn" && t >= 1.5) offset.yaw = t < 3.5 ? 25 : -25;
        const double speech = path == "talk" ? SyntheticCamera::speech(t) : 0.0;
        return path == "none" ? std::vector<DrawnHead>{}
                              : std::vector<DrawnHead>{{SyntheticCamera::at(offset), face, speech}};
    };
    const unsigned seed = argc == 8 ? static_cast<unsigned>(std::atoi(argv[7])) : 1;
    if (!SyntheticCamera::writeVideo(argv[1], width, height, std::atof(argv[3]), headsAt, seed,
                                     cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), *room)) {
        std::fprintf(stderr, "face-video: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
