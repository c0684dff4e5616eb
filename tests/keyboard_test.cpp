#include <gtest/gtest.h>

#include <string>

#include "view/OpGlView.h"

namespace {
struct Flags {
    int up, down, right, left, in, out;
    bool operator==(const Flags&) const = default;
};
Flags flagsOf(const OpGlView& v) {
    return {v.keyUpArrow,   v.keyDownArrow, v.keyRightArrow,
            v.keyLeftArrow, v.keyInArrow,   v.keyOutArrow};
}

std::string pressed(OpGlView& view, const std::string& characters) {
    ::testing::internal::CaptureStdout();
    view.keyDown(Event(characters));
    return ::testing::internal::GetCapturedStdout();
}

TEST(Keyboard, EachKeySetsItsFlagAndClearsTheOppositeOne) {
    struct Case {
        const char* key;
        Flags before, after;
    } cases[] = {
        {"w", {0, 1, 0, 0, 0, 0}, {1, 0, 0, 0, 0, 0}},
        {"s", {1, 0, 0, 0, 0, 0}, {0, 1, 0, 0, 0, 0}},
        {"d", {0, 0, 0, 1, 0, 0}, {0, 0, 1, 0, 0, 0}},
        {"a", {0, 0, 1, 0, 0, 0}, {0, 0, 0, 1, 0, 0}},
        {"e", {0, 0, 0, 0, 0, 1}, {0, 0, 0, 0, 1, 0}},
        {"q", {0, 0, 0, 0, 1, 0}, {0, 0, 0, 0, 0, 1}},
    };
    for (const Case& c : cases) {
        OpGlView view;
        view.keyUpArrow = c.before.up, view.keyDownArrow = c.before.down;
        view.keyRightArrow = c.before.right, view.keyLeftArrow = c.before.left;
        view.keyInArrow = c.before.in, view.keyOutArrow = c.before.out;
        EXPECT_EQ(pressed(view, c.key), "keydown event.....\n");
        EXPECT_EQ(flagsOf(view), c.after) << c.key;
    }
}

TEST(Keyboard, KeyUpClearsOnlyItsOwnFlagAndPrintsNothing) {
    OpGlView view;
    pressed(view, "w");
    pressed(view, "d");
    pressed(view, "e");
    ::testing::internal::CaptureStdout();
    view.keyUp(Event("d"));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(flagsOf(view), (Flags{1, 0, 0, 0, 1, 0}));
    view.keyUp(Event("s"));  // the opposite key's release leaves "w" alone
    EXPECT_EQ(flagsOf(view), (Flags{1, 0, 0, 0, 1, 0}));
}

TEST(Keyboard, ReleasingTheSecondKeyOfAnAxisStopsTheAxis) {
    OpGlView view;
    pressed(view, "w");
    pressed(view, "s");
    EXPECT_EQ(flagsOf(view), (Flags{0, 1, 0, 0, 0, 0}));
    view.keyUp(Event("s"));
    EXPECT_EQ(flagsOf(view), (Flags{0, 0, 0, 0, 0, 0}));  // "w" is still held, yet nothing moves
}

TEST(Keyboard, OtherCharactersPrintTheLineAndChangeNothing) {
    for (const char* characters : {"W", "S", "x", "", "ww", "we", " w", "\xc3\xa9"}) {
        OpGlView view;
        view.keyOutArrow = 1;
        EXPECT_EQ(pressed(view, characters), "keydown event.....\n") << characters;
        view.keyUp(Event(characters));
        EXPECT_EQ(flagsOf(view), (Flags{0, 0, 0, 0, 0, 1})) << characters;
    }
}

TEST(Keyboard, RepeatsPrintEachTimeAndSetTheSameFlags) {
    OpGlView view;
    std::string out;
    for (int i = 0; i < 3; ++i) out += pressed(view, "a");
    EXPECT_EQ(out, "keydown event.....\nkeydown event.....\nkeydown event.....\n");
    EXPECT_EQ(flagsOf(view), (Flags{0, 0, 0, 1, 0, 0}));
}

TEST(Responder, AClickPrintsItsLineOnceAndChangesNothing) {
    OpGlView view;
    ::testing::internal::CaptureStdout();
    view.mouseDown(Event());
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "mousedown event...\n");
    EXPECT_EQ(flagsOf(view), (Flags{0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(view.zHead, 0.0f);
}
}  // namespace
