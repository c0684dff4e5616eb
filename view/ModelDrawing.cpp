#include "view/ModelDrawing.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {
Mesh::Box turnedUp(const Mesh::Box& box, bool zUp) {
    if (!zUp) return box;
    // y' = z, z' = -y: the rotation of -90 degrees about x that draw() applies.
    return {{box.min[0], box.min[2], -box.max[1]}, {box.max[0], box.max[2], -box.min[1]}};
}
}  // namespace

ModelDrawing::ModelDrawing(Mesh mesh, bool zUp, ModelSizing sizing)
    : mesh(std::move(mesh)), zUp(zUp), upright(turnedUp(this->mesh.bounds, zUp)), sizing(sizing) {}

ModelDrawing::~ModelDrawing() {
    if (list) glDeleteLists(list, 1);
}

double ModelDrawing::radius(const ModelPlace& place) const {
    double squares = 0.0;
    for (int i = 0; i < 3; ++i) squares += std::pow((upright.max[i] - upright.min[i]) / 2.0, 2);
    return std::sqrt(squares) * place.scale * scaled;
}

ModelDrawing::Reach ModelDrawing::reach(double width, double height) const {
    const ModelPlace place = placeModel(upright, width, height, sizing);
    return {radius(place) - place.depth, place.depth + radius(place)};
}

void ModelDrawing::upload(bool grey) {
    list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, mesh.positions.data());
    glNormalPointer(GL_FLOAT, 0, mesh.normals.data());
    const bool coloured = !grey && !mesh.colours.empty();
    if (coloured) {
        glEnableClientState(GL_COLOR_ARRAY);
        glColorPointer(3, GL_FLOAT, 0, mesh.colours.data());
    }
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(mesh.indices.size()), GL_UNSIGNED_INT,
                   mesh.indices.data());
    if (coloured) glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glEndList();
    // The list holds its own copy; stereo, and so grey, never changes while it runs.
    mesh = Mesh{{}, {}, {}, {}, mesh.bounds, mesh.closed};
}

void ModelDrawing::draw(double width, double height, bool grey, bool behindGlass) {
    if (!list) upload(grey);
    ModelPlace place = placeModel(upright, width, height, sizing);
    if (behindGlass) place.depth = std::max(place.depth, radius(place));
    glPushAttrib(GL_ENABLE_BIT | GL_LIGHTING_BIT | GL_CURRENT_BIT);
    const bool closed = mesh.closed;
    glDisable(GL_FOG);  // the anaglyph's fog whitens the tunnel's lines only
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_NORMALIZE);
    glEnable(GL_COLOR_MATERIAL);
    if (closed) glEnable(GL_CULL_FACE);  // the triangles facing away are hidden anyway
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    const GLfloat ambient[4] = {0.3f, 0.3f, 0.3f, 1.0f};
    const GLfloat light[4] = {0.8f, 0.8f, 0.8f, 1.0f};
    // From above the viewer's left shoulder, toward the screen: a direction, fixed to the
    // screen whatever the model's turn.
    const GLfloat fromShoulder[4] = {-0.35f, 0.7f, 0.62f, 0.0f};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, light);
    glLightfv(GL_LIGHT0, GL_POSITION, fromShoulder);
    const GLfloat greyColour[3] = {0.8f, 0.8f, 0.8f};
    glColor3fv(grey ? greyColour : neutralColour);
    glPushMatrix();
    glTranslated(0.0, 0.0, -place.depth);
    glRotated(pitch, 1.0, 0.0, 0.0);
    glRotated(yaw, 0.0, 1.0, 0.0);
    glScaled(place.scale * scaled, place.scale * scaled, place.scale * scaled);
    glTranslated(-(upright.min[0] + upright.max[0]) / 2.0, -(upright.min[1] + upright.max[1]) / 2.0,
                 -(upright.min[2] + upright.max[2]) / 2.0);
    if (zUp) glRotated(-90.0, 1.0, 0.0, 0.0);
    glCallList(list);
    glPopMatrix();
    glPopAttrib();
}

void ModelDrawing::turn(double right, double down) {
    yaw = std::remainder(yaw + right, 360.0);
    pitch = std::clamp(pitch + down, -90.0, 90.0);
}

void ModelDrawing::zoom(double steps) {
    scaled = std::clamp(scaled * std::pow(1.1, steps), 0.1, 10.0);
}

void ModelDrawing::reset() {
    yaw = pitch = 0.0;
    scaled = 1.0;
}
