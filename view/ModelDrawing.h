#pragma once

#include "model/Mesh.h"
#include "view/ModelPlace.h"

// The model drawn with fixed-function OpenGL: uploaded once into a display list, lit by one
// light from above the viewer's left shoulder and an ambient light, in the file's colours or
// the neutral one; in grey for anaglyph, so that each eye's filter passes it. The mouse turns
// and scales it about its centre.
class ModelDrawing {
  public:
    // `zUp`: the model's up is its z axis, turned to the screen's y.
    ModelDrawing(Mesh mesh, bool zUp, ModelSizing sizing);
    ~ModelDrawing();
    ModelDrawing(const ModelDrawing&) = delete;
    ModelDrawing& operator=(const ModelDrawing&) = delete;

    // How far the turned and scaled model can reach in front of and behind the glass, cm.
    struct Reach {
        double front, back;
    };
    Reach reach(double width, double height) const;
    // Draws the model for a window `width` x `height` cm, whose centre in the glass the
    // modelview has at its origin in centimetres, +z toward the viewer. Needs the depth test.
    // `behindGlass`: however turned, wholly behind it.
    void draw(double width, double height, bool grey, bool behindGlass);

    // Turns it by degrees about the screen's vertical and horizontal axes (its front to the
    // right, its top toward the viewer); scales it by 1.1 to the power `steps`; back to its
    // first turn and size.
    void turn(double right, double down);
    void zoom(double steps);
    void reset();

  private:
    void upload(bool grey);
    // The largest distance of its box's corners from its centre, cm.
    double radius(const ModelPlace& place) const;

    Mesh mesh;  // its arrays freed once uploaded
    bool zUp;
    Mesh::Box upright;
    ModelSizing sizing;
    unsigned list = 0;
    double yaw = 0.0, pitch = 0.0, scaled = 1.0;
};
