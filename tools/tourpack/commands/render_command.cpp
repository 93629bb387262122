// tourpack render: the view of one scene (or of a plain panorama picture) at a
// given pan, tilt and field of view, rendered by the player's own engine and
// written in the picture format -o's extension names (PNG, JPEG, BMP, TIFF):
// the author's preview of a start view, with the scene's link and note
// markers on request.
#include <algorithm>
#include <cerrno>
#include <functional>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "text/utf8_path.h"
#include "commands/commands.h"
#include "engine/angles.h"
#include "platform/band_pool.h"
#include "engine/marker_compositing.h"
#include "engine/memory_view_host.h"
#include "engine/panorama_view.h"
#include "engine/pixel_buffers.h"
#include "engine/source_pyramid.h"
#include "lang_ids.h"
#include "windows_module/link_markers.h"
#include "windows_module/note_marker.h"
#include "package/opened_tour.h"
#include "process/output_guard.h"
#include "pictures/picture_conversion.h"
#include "pictures/picture_writing.h"
#include "manifest/sampling_words.h"
#include "text/tourpack_error.h"

namespace {

// A decoded panorama for the engine, in the layout of the player's bitmaps.
// tourpack decodes it itself (as build reads pictures); the player decodes
// with the platform's picture service, so only lossless pictures (BMP) are
// sure to give the player's own pixels.
using RenderPicture = tourpack::BitmapPixels;

engine::SourceImage sourceOf(const RenderPicture& picture) {
    return engine::SourceImage{picture.pixels.data(), picture.width, picture.height,
                               picture.stride};
}

bool decodePicture(const std::vector<std::uint8_t>& bytes, RenderPicture& picture,
                   std::string& error) {
    std::optional<tourpack::BitmapPixels> decoded =
        tourpack::decodeBitmapPixels(bytes.data(), bytes.size(), error);
    if (!decoded) {
        return false;
    }
    picture = std::move(*decoded);
    return true;
}

// A plain panorama picture: any picture build reads (TIFF where this build
// has libtiff, a camera JPEG turned upright).
bool decodePictureFile(const std::string& path, RenderPicture& picture, std::string& error) {
    const std::filesystem::path file = tourpack::pathFromUtf8(path);
    try {
        picture =
            tourpack::bitmapFromRgb(tourpack::decodePicture(file, tourpack::pictureKindOf(file)));
        return true;
    } catch (const tourpack::TourpackError& failure) {
        error = failure.what();
        return false;
    }
}

// Drawn over the view once it is rendered (the link and note markers).
using ViewOverlay = std::function<void(const engine::ViewBuffer&, const engine::ShownView&)>;

// The view as the player's settles: with smooth sampling the player builds
// the picture's half-size pyramid once it is decoded and the view reads it
// from then on, so the pyramid is built here before the one warp.
RenderPicture renderView(const RenderPicture& panorama, std::int32_t width, std::int32_t height,
                         float panDegrees, float tiltDegrees, float fovDegrees,
                         package::ViewSampling sampling, const ViewOverlay& overlay) {
    engine::MemoryViewHost host;
    engine::PanoramaView view(host);
    const bool smooth = sampling == package::ViewSampling::smooth;
    view.setSampling(smooth ? engine::Sampling::smooth : engine::Sampling::nearest);
    view.resize(width, height);
    const engine::SourceImage source = sourceOf(panorama);
    view.setImage(&source);
    std::unique_ptr<engine::SourcePyramid> pyramid;
    if (smooth) {
        pyramid =
            engine::SourcePyramid::build(source, platform::BandPool::threadsForThisProcessor());
        view.setPyramid(pyramid.get());
    }
    const engine::ViewRadians angles =
        engine::viewRadiansFromDegrees(panDegrees, tiltDegrees, fovDegrees);
    view.setView(angles.pan, angles.tilt, angles.fov);
    view.renderTick();
    if (overlay) {
        overlay(view.viewBuffer(), view.warper().shownView());
    }

    RenderPicture out;
    out.width = width;
    out.height = height;
    out.stride = platform::dibStride(width);
    const engine::ViewBuffer& buffer = view.viewBuffer();
    out.pixels.assign(buffer.pixels,
                      buffer.pixels + static_cast<std::size_t>(buffer.stride) * buffer.height);
    return out;
}

}  // namespace

namespace {

struct RenderArguments {
    std::string input;
    std::string output;
    int scene = 1;
    std::optional<float> pan;
    std::optional<float> tilt;
    std::optional<float> fov;
    std::string size = "480x360";
    bool links = false;
    std::string sampling;  // empty: the tour's own, smooth for a picture
};

// A scene's links with the marker picture of the tour's language module, and
// its notes with theirs.
struct SceneMarkers {
    std::vector<package::SceneLink> links;
    tourpack::BitmapPixels marker;
    std::vector<package::SceneNote> notes;
    tourpack::BitmapPixels noteMarker = tourpack::noteMarker();
};

bool loadSceneMarkers(const tourpack::OpenedTour& tour, int scene, SceneMarkers& markers,
                      std::string& error) {
    markers.links = tour.tour().scene(scene)->links();
    markers.notes = tour.tour().scene(scene)->notes();
    std::vector<std::uint8_t> module;
    if (!tourpack::OpenedTour::readFile(tour.loader().languageModulePath(), module)) {
        error = "the language module cannot be read";
        return false;
    }
    std::string missing;
    if (auto marker = tourpack::loadBitmapResource(module, IDB_LINK_MARKER, missing)) {
        markers.marker = std::move(*marker);
        return true;
    }
    // As the player does for a module (an older tour's) without a marker.
    std::fprintf(stderr,
                 "tourpack render: the language module's link marker: %s; drawing the "
                 "player's own\n",
                 missing.c_str());
    markers.marker.width = engine::builtInMarkerSize;
    markers.marker.height = engine::builtInMarkerSize;
    markers.marker.stride = platform::dibStride(engine::builtInMarkerSize);
    markers.marker.pixels = engine::builtInMarkerPixels(false);
    return true;
}

constexpr int largestViewSide = 16384;

bool readWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
    std::ifstream stream(tourpack::pathFromUtf8(path), std::ios::binary);
    if (!stream) {
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
    return !stream.bad();
}

bool endsWithTrailer(const std::vector<std::uint8_t>& bytes) {
    static const char marker[] = "CAFEBABE";
    return bytes.size() >= 8 && std::equal(bytes.end() - 8, bytes.end(), marker);
}

bool parseSize(const std::string& text, int& width, int& height) {
    static const std::regex pattern("([0-9]{1,5})[xX]([0-9]{1,5})");
    std::smatch match;
    if (!std::regex_match(text, match, pattern)) {
        return false;
    }
    width = std::stoi(match[1].str());
    height = std::stoi(match[2].str());
    return width >= 1 && height >= 1 && width <= largestViewSide && height <= largestViewSide;
}

// Says when the viewer would replace an angle by its default.
void noteReplaced(const char* name, float given, float used) {
    if (given != used) {
        std::fprintf(stderr,
                     "tourpack render: %s %g is outside its range; the viewer uses %g instead\n",
                     name, static_cast<double>(given), static_cast<double>(used));
    }
}

// What a tour gives a render: its scene's picture and start view and, with
// --links, the scene's markers. 0, or the exit code after saying why not.
int readTourScene(const RenderArguments& arguments, std::vector<std::uint8_t>& pictureBytes,
                  engine::ViewDegrees& start, package::ViewSampling& sampling,
                  std::optional<SceneMarkers>& markers) {
    std::string error;
    const std::unique_ptr<tourpack::OpenedTour> tour =
        tourpack::OpenedTour::open(arguments.input, error);
    if (!tour) {
        std::fprintf(stderr, "tourpack render: %s: %s\n", arguments.input.c_str(), error.c_str());
        return 1;
    }
    const int count = tour->tour().sceneCount();
    if (arguments.scene < 1 || arguments.scene > count) {
        std::fprintf(stderr, "tourpack render: %s: --scene %d: expected 1 to %d\n",
                     arguments.input.c_str(), arguments.scene, count);
        return 2;
    }
    const package::Scene* scene = tour->tour().scene(arguments.scene);
    start = engine::ViewDegrees{scene->pan(), scene->tilt(), scene->fieldOfView()};
    sampling = tour->tour().sampling();
    if (!tour->sceneImage(arguments.scene, pictureBytes, error)) {
        std::fprintf(stderr, "tourpack render: %s: scene %d image: %s\n", arguments.input.c_str(),
                     arguments.scene, error.c_str());
        return 1;
    }
    if (arguments.links) {
        markers.emplace();
        if (!loadSceneMarkers(*tour, arguments.scene, *markers, error)) {
            std::fprintf(stderr, "tourpack render: %s: %s\n", arguments.input.c_str(),
                         error.c_str());
            return 1;
        }
    }
    return 0;
}

// The view size and the sampling asked for. 0, or the exit code after saying
// why not.
int readViewOptions(const RenderArguments& arguments, int& width, int& height,
                    std::optional<package::ViewSampling>& chosenSampling) {
    if (!parseSize(arguments.size, width, height)) {
        std::fprintf(stderr,
                     "tourpack render: --size \"%s\": expected WIDTHxHEIGHT, each 1 to %d pixels\n",
                     arguments.size.c_str(), largestViewSide);
        return 2;
    }
    if (!arguments.sampling.empty()) {
        chosenSampling = tourpack::samplingNamed(arguments.sampling);
        if (!chosenSampling) {
            std::fprintf(stderr, "tourpack render: --sampling \"%s\": expected %s\n",
                         arguments.sampling.c_str(), tourpack::samplingChoices().c_str());
            return 2;
        }
    }
    return 0;
}

// What a render shows: a panorama and, from a tour, its scene's start view,
// its sampling and, with --links, its markers.
struct RenderSource {
    RenderPicture panorama;
    engine::ViewDegrees start{0.0f, 0.0f, 100.0f};
    package::ViewSampling sampling = package::ViewSampling::smooth;
    std::optional<SceneMarkers> markers;
};

// Whether the input is a tour (it ends with a tour's trailer) or a picture;
// false, after saying why, when it cannot be read.
bool readInputKind(const RenderArguments& arguments, bool& isTour) {
    std::vector<std::uint8_t> fileBytes;
    if (!readWholeFile(arguments.input, fileBytes)) {
        std::fprintf(stderr, "tourpack render: %s: cannot be read\n", arguments.input.c_str());
        return false;
    }
    isTour = endsWithTrailer(fileBytes);
    return true;
}

// The panorama of the tour's scene or of the picture. 0, or the exit code
// after saying why not.
int readRenderSource(const RenderArguments& arguments, RenderSource& source) {
    bool isTour = false;
    if (!readInputKind(arguments, isTour)) {
        return 1;
    }
    if (arguments.links && !isTour) {
        std::fprintf(stderr, "tourpack render: %s: --links needs a tour, not a picture\n",
                     arguments.input.c_str());
        return 2;
    }
    std::string error;
    if (!isTour) {
        if (!decodePictureFile(arguments.input, source.panorama, error)) {
            std::fprintf(stderr, "tourpack render: %s\n", error.c_str());
            return 1;
        }
        return 0;
    }
    std::vector<std::uint8_t> pictureBytes;
    if (const int status =
            readTourScene(arguments, pictureBytes, source.start, source.sampling, source.markers);
        status != 0) {
        return status;
    }
    if (!decodePicture(pictureBytes, source.panorama, error)) {
        std::fprintf(stderr, "tourpack render: %s: scene %d image: %s\n", arguments.input.c_str(),
                     arguments.scene, error.c_str());
        return 1;
    }
    return 0;
}

// The view at the angles asked for (the start view's where none is), with
// the scene's markers over it when there are.
RenderPicture renderAskedView(const RenderArguments& arguments, const RenderSource& source,
                              int width, int height, package::ViewSampling sampling) {
    const float pan = arguments.pan.value_or(source.start.pan);
    const float tilt = arguments.tilt.value_or(source.start.tilt);
    const float fov = arguments.fov.value_or(source.start.fov);
    const engine::ViewDegrees used = engine::checkedViewDegrees(pan, tilt, fov);
    noteReplaced("pan", pan, used.pan);
    noteReplaced("tilt", tilt, used.tilt);
    noteReplaced("field of view", fov, used.fov);

    ViewOverlay overlay;
    if (source.markers) {
        const SceneMarkers& markers = *source.markers;
        overlay = [&markers](const engine::ViewBuffer& buffer, const engine::ShownView& shown) {
            const int links =
                tourpack::drawLinkMarkers(buffer, shown, markers.links, markers.marker);
            const int notes =
                tourpack::drawNoteMarkers(buffer, shown, markers.notes, markers.noteMarker);
            std::fprintf(stderr,
                         "tourpack render: %d of the scene's %zu links and %d of its %zu notes "
                         "in view\n",
                         links, markers.links.size(), notes, markers.notes.size());
        };
    }
    return renderView(source.panorama, width, height, pan, tilt, fov, sampling, overlay);
}

int runRender(const RenderArguments& arguments) {
    int width = 0;
    int height = 0;
    std::optional<package::ViewSampling> chosenSampling;
    if (const int status = readViewOptions(arguments, width, height, chosenSampling); status != 0) {
        return status;
    }
    const std::filesystem::path output = tourpack::pathFromUtf8(arguments.output);
    tourpack::requireOutputFile(output, "view.png");
    tourpack::refuseToReplace(
        output, {{"the file being rendered", tourpack::pathFromUtf8(arguments.input)}});
    tourpack::requireWritablePicture(output);
    RenderSource source;
    if (const int status = readRenderSource(arguments, source); status != 0) {
        return status;
    }
    tourpack::writePicture(output, renderAskedView(arguments, source, width, height,
                                                   chosenSampling.value_or(source.sampling)));
    return 0;
}

const tourpack::RegisterCommand renderCommand(
    "render",
    "Render a scene's view (or a panorama picture's) as the player shows it, to PNG, JPEG, BMP "
    "or TIFF",
    [](tourpack::Subcommand& command) {
        auto arguments = std::make_shared<RenderArguments>();
        command.required("tour", arguments->input, "A tour executable or a panorama picture");
        command.optional("--scene", arguments->scene, "Scene position, from 1 (tours only)");
        command.optional("--pan", arguments->pan, "Pan in degrees (default: the start view)");
        command.optional("--tilt", arguments->tilt, "Tilt in degrees, positive looks down");
        command.optional("--fov", arguments->fov, "Horizontal field of view in degrees");
        command.optional("--size", arguments->size, "View size WIDTHxHEIGHT (default 480x360)");
        command.optional("--sampling", arguments->sampling,
                         "smooth or nearest (default: the tour's own; smooth for a picture)");
        command.flag("--links", arguments->links,
                     "Draw the scene's link and note markers where the player draws them (tours "
                     "only)");
        command.required("-o,--output", arguments->output,
                         "The picture to write; its extension names the format (" +
                             tourpack::writablePictureExtensions() + ")");
        command.onRun([arguments] { return runRender(*arguments); });
    });

}  // namespace
