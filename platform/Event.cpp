#include "platform/Event.h"

#include <GLFW/glfw3.h>

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
