// Definitions of these GL entry points in the test program take the place of the library's
// for every call the program makes; each records the call and forwards it.
#include "GlRecorder.h"

#include <GL/gl.h>
#include <dlfcn.h>

#include <initializer_list>

std::vector<GlCall>& recordedGlCalls() {
    static std::vector<GlCall> calls;
    return calls;
}

namespace {
template <typename Function>
Function real(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}
void record(const char* name, std::initializer_list<double> args) {
    recordedGlCalls().push_back({name, args});
}
}  // namespace

#define FORWARD(name, params, call, ...)                   \
    extern "C" void name params {                          \
        static auto forward = real<void(*) params>(#name); \
        record(#name, {__VA_ARGS__});                      \
        forward call;                                      \
    }

FORWARD(glMatrixMode, (GLenum m), (m), double(m))
FORWARD(glLoadIdentity, (), ())
FORWARD(glPushMatrix, (), ())
FORWARD(glPopMatrix, (), ())
FORWARD(glTranslated, (GLdouble x, GLdouble y, GLdouble z), (x, y, z), x, y, z)
FORWARD(glOrtho, (GLdouble l, GLdouble r, GLdouble b, GLdouble t, GLdouble n, GLdouble f),
        (l, r, b, t, n, f), l, r, b, t, n, f)
FORWARD(glViewport, (GLint x, GLint y, GLsizei w, GLsizei h), (x, y, w, h), double(x), double(y),
        double(w), double(h))
FORWARD(glEnable, (GLenum c), (c), double(c))
FORWARD(glDisable, (GLenum c), (c), double(c))
FORWARD(glShadeModel, (GLenum m), (m), double(m))
FORWARD(glDrawBuffer, (GLenum b), (b), double(b))
FORWARD(glClear, (GLbitfield mask), (mask), double(mask))
FORWARD(glFlush, (), ())
FORWARD(glLineWidth, (GLfloat w), (w), double(w))
FORWARD(glBegin, (GLenum m), (m), double(m))
FORWARD(glEnd, (), ())
FORWARD(glColor3f, (GLfloat r, GLfloat g, GLfloat b), (r, g, b), double(r), double(g), double(b))
FORWARD(glColor3d, (GLdouble r, GLdouble g, GLdouble b), (r, g, b), r, g, b)
FORWARD(glVertex3d, (GLdouble x, GLdouble y, GLdouble z), (x, y, z), x, y, z)
FORWARD(glNewList, (GLuint list, GLenum mode), (list, mode), double(list), double(mode))
FORWARD(glEndList, (), ())

extern "C" void glMultMatrixd(const GLdouble* m) {
    static auto forward = real<void (*)(const GLdouble*)>("glMultMatrixd");
    recordedGlCalls().push_back({"glMultMatrixd", std::vector<double>(m, m + 16)});
    forward(m);
}
