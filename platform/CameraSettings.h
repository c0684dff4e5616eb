#pragma once

// What the device may change of the camera's own settings while the program runs.
enum class CameraSettings {
    adjust,  // auto-exposure may not lower the frame rate in dim light, where offered
    keep     // nothing is changed
};

// Puts back the settings that open devices changed also when the program ends by exit()
// or by SIGINT, SIGTERM or SIGHUP (whose handlers it sets where they are the default): a
// webcam keeps a setting until it is unplugged. For main to call once, before opening.
void restoreCameraSettingsAtExit();

// A setting changed on an open device, put back when the device closes.
struct ChangedSetting;

// Stops auto-exposure from lowering the frame rate of the open device `fd` where it offers
// the setting and `settings` allows it; what to put back, or null when nothing changed.
ChangedSetting* holdFrameRate(int fd, CameraSettings settings);

// Puts the setting back on its device, once.
void putBack(ChangedSetting& setting);
