#pragma once

#include <string>

#include "app/ScreenSetup.h"
#include "camera/FaceTracker.h"
#include "camera/VideoSource.h"
#include "platform/OutputFile.h"
#include "view/PoseToEye.h"

// Checks a camera set-up without a window: follows the face in `video` for about two
// seconds, prints on standard output what the camera delivers, how long a frame takes, how
// old frames are when read (where the camera stamps them) and where the face is, and writes
// the last picture with the face marked into `picture`; and, for the true-scale picture
// (`tracking`'s), the screen, the window as it will open, the camera's place and the eye's.
// A file's frames due after the two seconds are not waited for. Returns the exit status: 0
// with a face in the last picture and the face followed to a pose, 1 without (saying why),
// checkNotWritten when the report or the picture could not be written (said on stderr).
constexpr int checkNotWritten = 3;
struct CheckSetup {
    const TrackingSettings& tracking;
    const ScreenSetup& screen;
    bool fullScreen;
};
int checkCamera(VideoSource& video, FaceTracker& faces, OutputFile& picture,
                const CheckSetup& setup);
