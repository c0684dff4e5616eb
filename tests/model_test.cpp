#include <GL/gl.h>
#include <gtest/gtest.h>

#include <unistd.h>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "GlTest.h"
#include "platform/Bundle.h"

namespace fs = std::filesystem;

namespace {
// A view whose main bundle is a scratch folder, so a test decides what the resource holds.
class ResourceLoad : public GlTest {
  protected:
    ResourceLoad() : saved(Bundle::mainBundle()) {
        fs::create_directories(root / "resources");
        Bundle::mainBundle() = Bundle(root.string());
    }
    ~ResourceLoad() override {
        Bundle::mainBundle() = saved;
        fs::remove_all(root);
    }
    void loadFrom(const std::string& text) {
        std::ofstream(root / "resources" / "teapot10.stl", std::ios::binary) << text;
        prepare();
    }
    std::string chunk(std::size_t i) const { return std::string(view.polygons->objectAtIndex(i)); }

    Bundle saved;
    fs::path root = fs::temp_directory_path() / ("fishtank-model-" + std::to_string(::getpid()));
};

TEST_F(ResourceLoad, AnStlTextGivesOneChunkMoreThanItHasFacets) {
    loadFrom(
        "solid cube\n"
        "  facet normal 0 0 1\n    outer loop\n      vertex 0 0 0\n    endloop\n  endfacet\n"
        "  facet normal 0 1 0\n    outer loop\n      vertex 1 0 0\n    endloop\n  endfacet\n"
        "  facet normal 1 0 0\n    outer loop\n      vertex 2 0 0\n    endloop\n  endfacet\n"
        "endsolid cube\n");
    ASSERT_TRUE(view.polygons);
    ASSERT_EQ(view.polygons->count(), 4u);
    EXPECT_EQ(chunk(0), "solid cube\n  ");
    EXPECT_EQ(chunk(1), " 0 0 1\n    outer loop\n      vertex 0 0 0\n    endloop\n  endfacet\n  ");
    EXPECT_EQ(chunk(3).substr(chunk(3).size() - 14), "endsolid cube\n");
    EXPECT_EQ(setupOutput, "prepare OpenGL.\n");
}

TEST_F(ResourceLoad, SeparatorsAtTheStartOrInARowGiveEmptyChunks) {
    loadFrom("facet normalfacet normal 1 facet normal");
    ASSERT_TRUE(view.polygons);
    ASSERT_EQ(view.polygons->count(), 4u);
    EXPECT_EQ(chunk(0), "");
    EXPECT_EQ(chunk(1), "");
    EXPECT_EQ(chunk(2), " 1 ");
    EXPECT_EQ(chunk(3), "");
}

TEST_F(ResourceLoad, OnlyTheExactLowerCaseSeparatorCuts) {
    const std::string text = "SOLID X\nFACET NORMAL 0 0 1\nfacet  normal 0 1 0\nFacet normal\n";
    loadFrom(text);
    ASSERT_TRUE(view.polygons);
    ASSERT_EQ(view.polygons->count(), 1u);
    EXPECT_EQ(chunk(0), text);
}

TEST_F(ResourceLoad, AnEmptyFileGivesOneEmptyChunk) {
    loadFrom("");
    ASSERT_TRUE(view.polygons);
    ASSERT_EQ(view.polygons->count(), 1u);
    EXPECT_EQ(chunk(0), "");
}

TEST_F(ResourceLoad, InvalidUtf8GivesNoListAndSetUpGoesOn) {
    loadFrom("solid x\n facet normal 0 0 \xc0\xaf\n");
    EXPECT_FALSE(view.polygons);
    EXPECT_EQ(setupOutput, "prepare OpenGL.\n");
}

TEST_F(ResourceLoad, AMissingResourceGivesNoListAndTheSameCube) {
    prepare();  // nothing written
    EXPECT_FALSE(view.polygons);
    EXPECT_EQ(setupOutput, "prepare OpenGL.\n");
    EXPECT_TRUE(glIsList(1));
    auto lines = feedbackLines([] { glCallList(1); });
    EXPECT_EQ(lines.size(), 12u);
}

// The program's own resource, found from the test program's location in the build tree.
class ShippedTeapot : public GlTest {
  protected:
    ShippedTeapot() { prepare(); }
};

TEST_F(ShippedTeapot, LoadsIntoOneChunkPerFacetAndTheSolidLine) {
    ASSERT_TRUE(view.polygons);
    auto path = Bundle::mainBundle().pathForResource("teapot10", "stl");
    ASSERT_TRUE(path);
    std::ifstream in(*path);
    std::size_t facets = 0;
    for (std::string word; in >> word;) facets += word == "facet";
    EXPECT_EQ(facets, 6320u);
    EXPECT_EQ(view.polygons->count(), facets + 1);
    EXPECT_EQ(view.polygons->objectAtIndex(0), "solid teapot10\n  ");
}

// What getNumber should give for a number as the resource writes it, "-9.269149e-01",
// found another way: the mantissa's digits as a whole number, divided by its power of ten
// in single precision (both exact floats, so the quotient is the float nearest the
// mantissa), then scaled by an exact power of ten. Scaling by division may round the last
// bit of a double otherwise than multiplying by pow's negative power.
double expectedNumber(const std::string& word) {
    std::size_t e = word.find('e');
    long digits = 0, decimals = 0;
    bool point = false;
    for (std::size_t i = 0; i < e; ++i) {
        if (word[i] == '.') point = true;
        if (!std::isdigit(static_cast<unsigned char>(word[i]))) continue;
        digits = digits * 10 + (word[i] - '0');
        decimals += point;
    }
    float unit = 1.0f;
    for (long i = 0; i < decimals; ++i) unit *= 10.0f;
    float mantissa = static_cast<float>(digits) / unit;
    if (word[0] == '-') mantissa = -mantissa;
    int exponent = std::atoi(word.c_str() + e + 1);
    double scale = 1.0;
    for (int i = 0; i < std::abs(exponent); ++i) scale *= 10.0;
    return exponent < 0 ? mantissa / scale : mantissa * scale;
}

TEST_F(ShippedTeapot, EveryNumberReadsAsItsSinglePrecisionMantissaTimesTheScale) {
    ASSERT_TRUE(view.polygons);
    std::size_t numbers = 0;
    for (std::size_t i = 1; i < view.polygons->count(); ++i) {
        std::istringstream chunk{std::string(view.polygons->objectAtIndex(i))};
        for (std::string word; chunk >> word;) {
            if (word.find('e') == std::string::npos || !(std::isdigit(word[0]) || word[0] == '-'))
                continue;
            double expected = expectedNumber(word);
            // A double's last bit apart at most; a mantissa read in double precision would
            // be up to a float's rounding (2^-24 of it) away.
            ASSERT_NEAR(view.getNumber(word), expected, std::fabs(expected) * 0x1p-52) << word;
            ++numbers;
        }
    }
    EXPECT_EQ(numbers, 6320u * 12u);
}

TEST_F(ShippedTeapot, TheWireCubeIsListOneAndDrawsNothingWhenRecorded) {
    // Executing the list shows the 24 vertices in order: white front, grey back and edges.
    auto lines = feedbackLines([] { glCallList(1); });
    ASSERT_EQ(lines.size(), 12u);
    const float h = 0.25f;
    const float corners[4][2] = {{-h, h}, {h, h}, {h, -h}, {-h, -h}};
    auto at = [&](const FeedbackVertex& v, float x, float y) {
        return std::fabs(acrossViewport(v.x, context.width()) - x) < 1e-5f &&
               std::fabs(acrossViewport(v.y, context.height()) - y) < 1e-5f;
    };
    for (int i = 0; i < 12; ++i) {
        const FeedbackLine& l = lines[i];
        int from = i % 4, to = i < 8 ? (from + 1) % 4 : from;
        EXPECT_TRUE(at(l.from, corners[from][0], corners[from][1])) << "segment " << i;
        EXPECT_TRUE(at(l.to, corners[to][0], corners[to][1])) << "segment " << i;
        float grey = i < 4 ? 1.0f : 0.5f;
        EXPECT_EQ(l.from.r, grey) << i;
        EXPECT_EQ(l.to.g, grey) << i;
    }
    // Front corners at depth -0.25, back ones at -0.75 (identity matrices: depth unchanged).
    EXPECT_NEAR(lines[0].from.z, (1.0f - 0.25f) / 2.0f, 1e-5f);
    EXPECT_NEAR(lines[4].from.z, (1.0f - 0.75f) / 2.0f, 1e-5f);
    GLfloat width;
    glGetFloatv(GL_LINE_WIDTH, &width);
    EXPECT_EQ(width, 1.0f);

    // A frame is the same with the list and without it.
    auto frame = [&] {
        glClear(GL_COLOR_BUFFER_BIT);
        view.zHead = 1.0f;
        view.drawMe(nullptr, false);
        return context.readBackBuffer();
    };
    auto withList = frame();
    glDeleteLists(1, 1);
    EXPECT_EQ(frame(), withList);
}

TEST(GetNumber, ReadsMantissaInSinglePrecisionTimesAPowerOfTen) {
    OpGlView view;
    EXPECT_EQ(view.getNumber("1.5e3"), 1500.0);
    EXPECT_EQ(view.getNumber("1e2e3"), 100.0);  // pieces after the second are ignored
    EXPECT_EQ(view.getNumber("1.1e0"), 1.100000023841858);
    EXPECT_EQ(view.getNumber("-2.5e-1"), -0.25);
    EXPECT_EQ(view.getNumber("1.234567e+00"), static_cast<double>(1.234567f));
    EXPECT_EQ(view.getNumber("  +4e1"), 40.0);
    EXPECT_EQ(view.getNumber("1e400"), INFINITY);
    EXPECT_TRUE(std::isnan(view.getNumber("0e400")));
    EXPECT_EQ(view.getNumber("1e-400"), 0.0);
    EXPECT_EQ(view.getNumber("3e99999999999"), INFINITY);  // exponent saturates
    EXPECT_EQ(view.getNumber("3e-99999999999"), 0.0);
    EXPECT_EQ(view.getNumber("e5"), 0.0);
    EXPECT_EQ(view.getNumber("7e"), 7.0);
    EXPECT_EQ(view.getNumber("7e x"), 7.0);
}

TEST(GetNumber, WithoutALowerCaseEReadsTheWholeTextAsTheMantissa) {
    OpGlView view;
    EXPECT_EQ(view.getNumber("2.5E2"), 250.0);
    EXPECT_EQ(view.getNumber("42"), 42.0);
    EXPECT_EQ(view.getNumber(""), 0.0);
    EXPECT_EQ(view.getNumber("abc"), 0.0);
}
}  // namespace
