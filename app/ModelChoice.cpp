#include "app/ModelChoice.h"

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "app/CommandLine.h"
#include "model/ModelFile.h"
#include "platform/Bundle.h"
#include "view/ModelDrawing.h"

const char modelUsage[] =
    "  --model FILE|teapot  shows a model in the window: any file the Open Asset\n"
    "                  Import Library reads (STL, OBJ with its MTL, PLY, glTF 2.0 and\n"
    "                  more), or the shipped teapot. By default it is fitted to two\n"
    "                  thirds of the window's height and stands a little out of the\n"
    "                  screen; drag to turn it, the wheel scales it, r resets it\n"
    "  --model-units mm|cm|m|in  the unit of the file's numbers: the model is drawn\n"
    "                  at its real size (glTF is always in metres)\n"
    "  --model-depth CM  its centre this far behind the glass, -50 to 500 (negative:\n"
    "                  in front)\n"
    "  --scene tunnel|model  the model in the tunnel (default), or alone\n";

bool readModelOption(const char* program, const char* usage, int argc, char** argv, int& i,
                     ModelChoice& choice) {
    const std::string option = argv[i];
    if (option != "--model" && option != "--model-units" && option != "--model-depth" &&
        option != "--scene")
        return false;
    const char* value = optionValue(program, usage, argc, argv, i, {option});
    const std::string text = value;
    if (option == "--model") {
        if (text.empty()) failUsage(program, "--model needs a file, or teapot");
        choice.file = text;
    } else if (option == "--model-units") {
        const std::pair<const char*, double> units[] = {
            {"mm", 0.1}, {"cm", 1.0}, {"m", 100.0}, {"in", 2.54}};
        choice.centimetresPerUnit.reset();
        for (auto [name, centimetres] : units)
            if (text == name) choice.centimetresPerUnit = centimetres;
        if (!choice.centimetresPerUnit)
            failUsage(program, "--model-units wants mm, cm, m or in, not '" + text + "'");
        choice.unitName = text;
    } else if (option == "--model-depth") {
        auto fits = [](double n) { return n >= -50 && n <= 500; };
        choice.depth = readNumber(program, option, value, fits, "centimetres, -50 to 500");
    } else if (option == "--scene") {
        if (text != "tunnel" && text != "model")
            failUsage(program, "--scene wants tunnel or model, not '" + text + "'");
        choice.tunnel = text == "tunnel";
        choice.sceneGiven = true;
    }
    return true;
}

void checkModelChoice(const char* program, const ModelChoice& choice) {
    if (choice.file.empty() && (choice.centimetresPerUnit || choice.depth || choice.sceneGiven))
        failUsage(program, "--model-units, --model-depth and --scene go with --model FILE");
}

namespace {
// Progress on a terminal, once a load has taken a second; the line is cleared at the end.
class LoadProgress {
  public:
    LoadProgress(const char* program, const std::string& name) : program(program), name(name) {}
    ~LoadProgress() {
        if (shown) std::fputs("\r\033[K", stderr);
    }
    void tell(float fraction) {
        if (!terminal || seconds() < 1.0) return;
        std::fprintf(stderr, "\r%s: loading %s: %3.0f %%", program, name.c_str(),
                     100.0 * static_cast<double>(fraction));
        shown = true;
    }
    double seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }

  private:
    const char* program;
    const std::string& name;
    const bool terminal = isatty(STDERR_FILENO) == 1;
    const std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    bool shown = false;
};
}  // namespace

std::unique_ptr<ModelDrawing> loadModel(const char* program, const ModelChoice& choice) {
    if (choice.file.empty()) return nullptr;
    std::string path = choice.file;
    if (choice.file == "teapot") {
        std::optional<std::string> teapot = Bundle::mainBundle().pathForResource("teapot10", "stl");
        if (!teapot) {
            std::fprintf(stderr, "%s: cannot load the model teapot: teapot10.stl is not in %s\n",
                         program, Bundle::mainBundle().resourcePath().c_str());
            std::exit(1);
        }
        path = *teapot;
    }
    ModelFile file;
    double took = 0.0;
    try {
        LoadProgress progress(program, path);
        file = readModelFile(path, [&](float fraction) { progress.tell(fraction); });
        took = progress.seconds();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: cannot load the model %s: %s\n", program, path.c_str(), e.what());
        std::exit(1);
    }
    // A format with units of its own is drawn at its real size in them.
    std::optional<double> centimetresPerUnit = choice.centimetresPerUnit;
    std::string unit = choice.centimetresPerUnit ? choice.unitName : "units";
    if (file.centimetresPerUnit) {
        if (centimetresPerUnit && *centimetresPerUnit != *file.centimetresPerUnit)
            std::fprintf(stderr, "%s: %s is in metres, as glTF always is\n", program, path.c_str());
        if (centimetresPerUnit) centimetresPerUnit = file.centimetresPerUnit;
        unit = "m";
    }
    const Mesh::Box& box = file.mesh.bounds;
    std::fprintf(stderr, "%s: model %s: %zu triangles, %g x %g x %g %s, loaded in %.2f s\n",
                 program, path.c_str(), file.mesh.triangleCount(),
                 static_cast<double>(box.max[0] - box.min[0]),
                 static_cast<double>(box.max[1] - box.min[1]),
                 static_cast<double>(box.max[2] - box.min[2]), unit.c_str(), took);
    return std::make_unique<ModelDrawing>(std::move(file.mesh), file.zUp,
                                          ModelSizing{centimetresPerUnit, choice.depth});
}
