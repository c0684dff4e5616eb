// Fuzzes the STL text handling: UTF-8 validation, the facet split and the number parser.
//   build:  cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DFISHTANK_FUZZ=ON
//           cmake --build build-fuzz --target strings-fuzz
//   run:    build-fuzz/strings-fuzz -max_total_time=600 tests/fuzz/strings-corpus
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/Strings.h"
#include "view/OpGlView.h"

namespace {
void check(bool condition) {
    if (!condition) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);

    // The pieces joined with the separator give the text back, and none holds a separator.
    for (std::string_view separator : {std::string_view("facet normal"), std::string_view("e")}) {
        auto pieces = componentsSeparatedByString(text, separator);
        check(!pieces.empty());
        std::string joined;
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            check(pieces[i].find(separator) == std::string_view::npos);
            if (i) joined += separator;
            joined += pieces[i];
        }
        check(joined == text);
    }

    // Any bytes at all: no crash, no undefined behaviour, no NaN from a leading number.
    (void)isValidUTF8(text);
    check(!std::isnan(floatValue(text)));
    (void)intValue(text);
    static OpGlView view;
    (void)view.getNumber(text);
    return 0;
}
