// The characters of real key presses in the X keyboard layout (run with a display).
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include "platform/Event.h"

namespace {
class KeyCharacters : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(glfwInit()) << "needs a display"; }
    static void TearDownTestSuite() { glfwTerminate(); }
    static std::string of(int key, int mods) {
        return charactersForKey(key, glfwGetKeyScancode(key), mods);
    }
};

TEST_F(KeyCharacters, OnlyShiftChangesTheCharacter) {
    EXPECT_EQ(of(GLFW_KEY_W, 0), "w");
    EXPECT_EQ(of(GLFW_KEY_W, GLFW_MOD_SHIFT), "W");
    EXPECT_EQ(of(GLFW_KEY_W, GLFW_MOD_CONTROL), "w");
    EXPECT_EQ(of(GLFW_KEY_W, GLFW_MOD_ALT), "w");
    EXPECT_EQ(of(GLFW_KEY_E, GLFW_MOD_SUPER | GLFW_MOD_CONTROL), "e");
    EXPECT_EQ(of(GLFW_KEY_Q, GLFW_MOD_CONTROL), "q");
}

TEST_F(KeyCharacters, KeysWithoutACharacterMatchNoDirectionKey) {
    for (int key : {GLFW_KEY_LEFT, GLFW_KEY_UP, GLFW_KEY_F1, GLFW_KEY_ESCAPE, GLFW_KEY_ENTER}) {
        std::string characters = of(key, 0);
        for (const char* direction : {"w", "a", "s", "d", "q", "e"})
            EXPECT_NE(characters, direction) << key;
    }
}

TEST_F(KeyCharacters, ModifierKeysAloneAreNoKeyEvents) {
    for (int key : {GLFW_KEY_LEFT_SHIFT, GLFW_KEY_RIGHT_SHIFT, GLFW_KEY_LEFT_CONTROL,
                    GLFW_KEY_RIGHT_CONTROL, GLFW_KEY_LEFT_ALT, GLFW_KEY_RIGHT_ALT,
                    GLFW_KEY_LEFT_SUPER, GLFW_KEY_RIGHT_SUPER, GLFW_KEY_CAPS_LOCK})
        EXPECT_TRUE(isModifierKey(key)) << key;
    EXPECT_FALSE(isModifierKey(GLFW_KEY_W));
    EXPECT_FALSE(isModifierKey(GLFW_KEY_SPACE));
}
}  // namespace
