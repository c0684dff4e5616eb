// The STL text resource, cut into facet chunks at set-up, and the parser for the numbers
// that ASCII STL writes as mantissa, "e", exponent.
#include <cmath>

#include "platform/Bundle.h"
#include "platform/Strings.h"
#include "view/OpGlView.h"

void OpGlView::loadSTLText() {
    auto path = Bundle::mainBundle().pathForResource("teapot10", "stl");
    polygons = componentsSeparatedByString(stringWithContentsOfFile(path), "facet normal");
}

double OpGlView::getNumber(std::string_view text) {
    auto pieces = componentsSeparatedByString(text, "e");
    // The mantissa keeps only single precision, whatever digits the text has.
    double mantissa = floatValue(pieces[0]);
    // A text without "e" has no exponent piece: it reads as the mantissa alone.
    int exponent = pieces.size() > 1 ? intValue(pieces[1]) : 0;
    return mantissa * std::pow(10.0, static_cast<double>(exponent));
}
