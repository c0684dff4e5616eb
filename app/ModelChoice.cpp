#include "app/ModelChoice.h"

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <exception>

#include "model/ModelFile.h"
#include "platform/Bundle.h"
#include "view/ModelDrawing.h"

std::vector<Option> modelOptions(ModelChoice& choice) {
    return {
        {"--model", "FILE|teapot",
         "shows a model: any file the Open Asset Import Library reads (STL, OBJ "
         "with its MTL, PLY, glTF 2.0 and more), or the shipped teapot. By default it is "
         "fitted to two thirds of the window's height and stands a little out of the screen; "
         "drag to turn it, the wheel scales it, r resets it",
         [&](const OptionValue& v) {
             if (v.text().empty()) v.fail("--model needs a file, or teapot");
             choice.file = v.text();
         }},
        {"--model-units", "mm|cm|m|in",
         "the unit of the file's numbers: the model is drawn at its real size (glTF is always "
         "in metres)",
         [&](const OptionValue& v) {
             choice.centimetresPerUnit =
                 v.choice<double>({{"mm", 0.1}, {"cm", 1.0}, {"m", 100.0}, {"in", 2.54}});
             choice.unitName = v.text();
         }},
        {"--model-depth", "CM",
         "its centre this far behind the glass, -50 to 500 (negative: in front)",
         [&](const OptionValue& v) { choice.depth = v.number(-50, 500, "centimetres"); }},
        {"--scene", "tunnel|model", "the model in the tunnel (default), or alone",
         [&](const OptionValue& v) {
             choice.tunnel = v.choice<bool>({{"tunnel", true}, {"model", false}});
             choice.sceneGiven = true;
         }},
    };
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
            throw EarlyEnd{1};
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
        throw EarlyEnd{1};
    }
    // A format with units of its own is drawn at its real size in them.
    std::optional<double> centimetresPerUnit = choice.centimetresPerUnit;
    const std::string unit = file.centimetresPerUnit     ? "m"
                             : choice.centimetresPerUnit ? choice.unitName
                                                         : "units";
    if (file.centimetresPerUnit) {
        if (centimetresPerUnit && *centimetresPerUnit != *file.centimetresPerUnit)
            std::fprintf(stderr, "%s: %s is in metres, as glTF always is\n", program, path.c_str());
        if (centimetresPerUnit) centimetresPerUnit = file.centimetresPerUnit;
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
