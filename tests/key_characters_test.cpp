// The platform's keys and window: characters of real key presses in the X keyboard layout,
// what a release delivers, and the window's pixel format (run with a display).
#include <GL/gl.h>
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include "platform/Event.h"
#include "platform/Window.h"

namespace {
class KeyCharacters : public ::testing::Test {
  protected:
    // Not terminated, as the programs never terminate it: that would unload the GL driver,
    // whose own leaks the leak checker could then no longer name and leave aside.
    static void SetUpTestSuite() { ASSERT_TRUE(glfwInit()) << "needs a display"; }
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

namespace {
TEST(HeldKeys, AReleaseCarriesTheCharactersOfItsPress) {
    HeldKeys keys;
    const int w = 25, e = 26;
    EXPECT_EQ(keys.press(w, "w"), "w");
    EXPECT_EQ(keys.press(w, "W"), "W");  // an auto-repeat after Shift went down
    EXPECT_EQ(keys.release(w, "W"), "w");
    EXPECT_EQ(keys.press(w, "W"), "W");  // Shift+w pressed as such stays W
    EXPECT_EQ(keys.release(w, "w"), "W");
    EXPECT_EQ(keys.release(e, "e"), "e");  // a release never seen pressed
}

TEST(HeldKeys, KeysDownBeforeTheWindowCameAreIgnoredUntilReleased) {
    HeldKeys keys;
    const int ctrl = 37, q = 24, w = 25, s = 39;
    keys.press(w, "w");
    keys.alreadyDown({ctrl, q, w});  // q was pressed elsewhere; w is still ours
    EXPECT_EQ(keys.press(q, "q"), std::nullopt);
    EXPECT_EQ(keys.release(q, "q"), std::nullopt);
    EXPECT_EQ(keys.press(q, "q"), "q");  // pressed afresh
    EXPECT_EQ(keys.release(w, "W"), "w");
    keys.press(s, "s");
    keys.alreadyDown({});  // s was released while another window had the focus
    EXPECT_EQ(keys.release(s, "S"), "S");
}

// The window asks for exactly what is drawn: colour, double-buffered, no depth or stencil.
TEST_F(KeyCharacters, TheWindowHasOnlyADoubleBufferedColourBuffer) {
    Window window("format", 64, 64);
    GLint depth = -1, stencil = -1, red = 0;
    GLboolean doubleBuffered = GL_FALSE;
    glGetIntegerv(GL_DEPTH_BITS, &depth);
    glGetIntegerv(GL_STENCIL_BITS, &stencil);
    glGetIntegerv(GL_RED_BITS, &red);
    glGetBooleanv(GL_DOUBLEBUFFER, &doubleBuffered);
    EXPECT_EQ(depth, 0);
    EXPECT_EQ(stencil, 0);
    EXPECT_EQ(red, 8);
    EXPECT_TRUE(doubleBuffered);
}
}  // namespace
