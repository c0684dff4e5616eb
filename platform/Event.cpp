#include "platform/Event.h"

#include <GLFW/glfw3.h>
#define GLFW_EXPOSE_NATIVE_X11
#include <GLFW/glfw3native.h>

std::string charactersForKey(int key, int scancode, int mods) {
    const char* name = glfwGetKeyName(key, scancode);
    if (!name) return {};
    std::string characters = name;
    if ((mods & GLFW_MOD_SHIFT) && characters.size() == 1 && characters[0] >= 'a' &&
        characters[0] <= 'z')
        characters[0] = static_cast<char>(characters[0] - 'a' + 'A');
    return characters;
}

bool isModifierKey(int key) {
    switch (key) {
        case GLFW_KEY_LEFT_SHIFT:
        case GLFW_KEY_RIGHT_SHIFT:
        case GLFW_KEY_LEFT_CONTROL:
        case GLFW_KEY_RIGHT_CONTROL:
        case GLFW_KEY_LEFT_ALT:
        case GLFW_KEY_RIGHT_ALT:
        case GLFW_KEY_LEFT_SUPER:
        case GLFW_KEY_RIGHT_SUPER:
        case GLFW_KEY_CAPS_LOCK:
        case GLFW_KEY_NUM_LOCK:
            return true;
        default:
            return false;
    }
}

bool isLatinLetter(const std::string& characters) {
    if (characters.size() != 1) return false;
    char c = characters[0];
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

std::optional<std::string> HeldKeys::press(int scancode, std::string characters) {
    if (stale.count(scancode)) return std::nullopt;
    auto [key, fresh] = held.try_emplace(scancode, characters);
    if (!fresh) return characters;  // an auto-repeat: the key's characters as they are now
    return key->second;
}

std::optional<std::string> HeldKeys::release(int scancode, std::string characters) {
    if (stale.erase(scancode)) return std::nullopt;
    auto key = held.find(scancode);
    if (key == held.end()) return characters;
    std::string pressed = std::move(key->second);
    held.erase(key);
    return pressed;
}

void HeldKeys::alreadyDown(std::set<int> keysDown) {
    // Our own presses still down stay ours; those released meanwhile went elsewhere.
    std::erase_if(held, [&](const auto& key) { return !keysDown.count(key.first); });
    stale.clear();
    for (int scancode : keysDown)
        if (!held.count(scancode)) stale.insert(scancode);
}

std::set<int> keysDownNow() {
    std::set<int> down;
    char keys[32] = {};
    if (Display* display = glfwGetX11Display()) XQueryKeymap(display, keys);
    for (int code = 0; code < 256; ++code)
        if (keys[code / 8] & (1 << (code % 8))) down.insert(code);
    return down;
}
