#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>

// A key or mouse event as the view receives it.
class Event {
  public:
    explicit Event(std::string characters = {}, bool repeat = false)
        : characters(std::move(characters)), repeat(repeat) {}
    // A drag's movement in pixels (right, down), or the wheel's in steps (right, up).
    static Event movement(double x, double y) {
        Event event;
        event.moved[0] = x;
        event.moved[1] = y;
        return event;
    }

    // The characters the key gives with no modifier applied but Shift.
    const std::string& charactersIgnoringModifiers() const { return characters; }
    // Whether this key-down is the keyboard's auto-repeat of a key held down.
    bool isARepeat() const { return repeat; }
    double deltaX() const { return moved[0]; }
    double deltaY() const { return moved[1]; }

  private:
    std::string characters;
    bool repeat;
    double moved[2] = {0.0, 0.0};
};

// Translates a GLFW key press to those characters: the key's character in the current
// keyboard layout, upper case for letters when Shift is held; keys without a character
// give "".
std::string charactersForKey(int key, int scancode, int mods);

// Modifier keys on their own only change modifier state: they make no key event.
bool isModifierKey(int key);

// The physical keys down at this moment, as scancodes (X key codes).
std::set<int> keysDownNow();

// Whether the characters are one letter of the Latin alphabet, either case.
bool isLatinLetter(const std::string& characters);

// The keys that are down, by physical key (scancode). A release carries the characters of
// the press it ends, whatever the modifiers are by then: "w" pressed and released after
// Shift went down is released as "w", not "W". Keys that were already down when the
// window came to the front are stale: their auto-repeats are no fresh presses (Ctrl+Q held
// while the program starts does not quit it) and their release ends nothing of ours.
class HeldKeys {
  public:
    // The characters that a press, an auto-repeat or a release delivers; none for keys
    // that are stale.
    std::optional<std::string> press(int scancode, std::string characters);
    std::optional<std::string> release(int scancode, std::string characters);
    // Marks the keys down now, other than our own presses, as stale.
    void alreadyDown(std::set<int> keysDown);

  private:
    std::map<int, std::string> held;
    std::set<int> stale;
};
