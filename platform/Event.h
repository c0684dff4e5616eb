#pragma once

#include <string>

// A key or mouse event as the view receives it.
class Event {
  public:
    explicit Event(std::string characters = {}) : characters(std::move(characters)) {}

    // The characters the key gives with no modifier applied but Shift.
    const std::string& charactersIgnoringModifiers() const { return characters; }

  private:
    std::string characters;
};

// Translates a GLFW key press to those characters: the key's character in the current
// keyboard layout, upper case for letters when Shift is held; keys without a character
// give "".
std::string charactersForKey(int key, int scancode, int mods);

// Modifier keys on their own only change modifier state: they make no key event.
bool isModifierKey(int key);
