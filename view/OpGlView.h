#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/Date.h"
#include "platform/OpenGLView.h"
#include "platform/Strings.h"

// The window's OpenGL view: a wire tunnel seen through an off-axis projection from a head
// position that six keys move. Set-up and responders live in Setup.cpp, the keys in
// Keyboard.cpp, the frame step in FrameStep.cpp, the projection in Projection.cpp, the
// tunnel in Tunnel.cpp, the look-at matrix in LookAt.cpp; the STL text and the wire cube
// in model/.
class OpGlView : public OpenGLView {
  public:
    void prepareOpenGL() override;
    void drawRect();
    void drawMe(double* matrix, bool log);
    void drawRect(Rect dirtyRect) override;
    void drawCube(float unused);
    void drawFrameAtDistance(float depth);
    void drawFromSTL();
    double getNumber(std::string_view text);
    void gluLookAt(double ex, double ey, double ez, double cx, double cy, double cz, double ux,
                   double uy, double uz);
    void keyUp(const Event& event) override;
    void keyDown(const Event& event) override;
    void mouseDown(const Event& event) override;
    bool acceptsFirstResponder() override;
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;
    // The frame step's arithmetic: rotates the dates, then moves and clamps the head.
    void stepHead();

    // The scratch matrix every projection matrix passes through: the view's own block until
    // the first frame hands over the caller's buffer.
    double* mat = nullptr;
    std::uint8_t keyUpArrow = 0;
    std::uint8_t keyDownArrow = 0;
    std::uint8_t keyRightArrow = 0;
    std::uint8_t keyLeftArrow = 0;
    std::uint8_t keyInArrow = 0;
    std::uint8_t keyOutArrow = 0;
    float xHead = 0.0f;
    float yHead = 0.0f;
    float zHead = 0.0f;
    Date now;
    Date last;
    // Facet chunks of the STL resource; none when it could not be read as text.
    std::optional<StringArray> polygons;

  protected:
    // Pops the matrix that drawCube or a true-scale picture pushed before its projection.
    virtual void drawTunnel();

  private:
    void loadSTLText();
    void multiplyScratchMatrix(const double (&matrix)[16]);

    // Owned storage behind `mat` until a caller's buffer replaces it; zero-filled.
    double ownScratch[16] = {};
};
