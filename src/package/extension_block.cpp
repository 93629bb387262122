#include "package/extension_block.h"

#include <cmath>
#include <cstring>
#include <string_view>
#include <vector>

#include "package/field_reader.h"
#include "platform/code_pages.h"

namespace package {

namespace {

using namespace extension_block;

// The fewest bytes a link takes: target, two angles, an empty label, the flag
// and the three view values.
constexpr std::int64_t smallestLinkSize = FieldReader::intWidth + 2 * FieldReader::floatWidth +
                                          FieldReader::longWidth + FieldReader::flagWidth +
                                          3 * FieldReader::floatWidth;
// A tag and a content length.
constexpr std::int64_t smallestSectionSize = 2 * FieldReader::longWidth;
// The fewest bytes a note takes: two angles, three empty texts, no picture.
constexpr std::int64_t smallestNoteSize =
    2 * FieldReader::floatWidth + 3 * FieldReader::longWidth + FieldReader::intWidth;
// A picture's length and at least one byte.
constexpr std::int64_t smallestPictureSize = FieldReader::longWidth + 1;

struct BadBlock {
    std::int64_t offset;
    std::string what;
};

struct NoBlock {};

// Fields read from `stream` inside [position, limit): a field that would reach
// past the limit makes the block bad instead of reading the trailer or
// whatever follows.
class BoundedFields {
  public:
    BoundedFields(std::istream& stream, std::int64_t begin, std::int64_t limit)
        : stream_(stream), position_(begin), limit_(limit) {
        stream_.seekg(begin);
    }

    std::int64_t position() const { return position_; }
    std::int64_t left() const { return limit_ - position_; }
    std::int64_t limit() const { return limit_; }
    void setLimit(std::int64_t limit) { limit_ = limit; }

    [[noreturn]] void fail(const std::string& what) const { throw BadBlock{position_, what}; }

    std::int32_t readInt(const char* field) {
        char text[FieldReader::intWidth + 1] = {};
        take(text, FieldReader::intWidth, field);
        return FieldReader::parseInteger(text);
    }

    std::int32_t readLong(const char* field) {
        char text[FieldReader::longWidth + 1] = {};
        take(text, FieldReader::longWidth, field);
        return FieldReader::parseInteger(text);
    }

    float readFloat(const char* field) {
        char text[FieldReader::floatWidth + 1] = {};
        take(text, FieldReader::floatWidth, field);
        return static_cast<float>(FieldReader::parseReal(text));
    }

    bool readFlag(const char* field) {
        char text[FieldReader::flagWidth + 1] = {};
        take(text, FieldReader::flagWidth, field);
        if (text[0] != '0' && text[0] != '1') {
            throw BadBlock{position_ - FieldReader::flagWidth,
                           std::string(field) + ": a flag is \"0\" or \"1\""};
        }
        return text[0] == '1';
    }

    // A length that fits in what is left.
    std::int32_t readLength(const char* field) {
        const std::int64_t at = position_;
        const std::int32_t length = readLong(field);
        if (length < 0 || length > left()) {
            throw BadBlock{at, std::string(field) + ": length " + std::to_string(length) +
                                   " does not fit the " + std::to_string(left()) + " bytes left"};
        }
        return length;
    }

    // A STRING's bytes, all of them.
    std::string readBytes(const char* field) {
        std::string bytes(static_cast<std::size_t>(readLength(field)), '\0');
        take(bytes.data(), static_cast<std::int64_t>(bytes.size()), field);
        return bytes;
    }

    // A STRING, cut at a NUL inside as the record stream's texts are.
    std::string readString(const char* field) { return readText(readLength(field), field); }

    // `length` bytes of text, cut at a NUL inside.
    std::string readText(std::int32_t length, const char* field) {
        std::vector<char> text(static_cast<std::size_t>(length) + 1, '\0');
        take(text.data(), length, field);
        return text.data();
    }

    void skip(std::int64_t bytes) {
        position_ += bytes;
        stream_.seekg(position_);
    }

    // Goes on at `position` whatever state a failed read left the stream in.
    void resumeAt(std::int64_t position) {
        stream_.clear();
        position_ = position;
        stream_.seekg(position_);
    }

  private:
    void take(char* buffer, std::int64_t width, const char* field) {
        if (width > left()) {
            fail(std::string(field) + ": the block ends inside the field");
        }
        stream_.read(buffer, static_cast<std::streamsize>(width));
        if (stream_.gcount() != width) {
            fail(std::string(field) + ": the file ends inside the field");
        }
        position_ += width;
    }

    std::istream& stream_;
    std::int64_t position_;
    std::int64_t limit_;
};

bool within(float value, float low, float high) {
    return std::isfinite(value) && value >= low && value <= high;
}

class LinksSection {
  public:
    LinksSection(BoundedFields& fields, const Tour& tour) : fields_(fields), tour_(tour) {}

    std::vector<std::vector<SceneLink>> read() {
        const std::int32_t scenes = fields_.readInt("links: scene count");
        if (scenes != tour_.sceneCount()) {
            fields_.fail("links: " + std::to_string(scenes) + " scenes where the tour has " +
                         std::to_string(tour_.sceneCount()));
        }
        std::vector<std::vector<SceneLink>> links(static_cast<std::size_t>(scenes));
        for (std::int32_t position = 1; position <= scenes; ++position) {
            const std::string where = "links of scene " + std::to_string(position);
            const std::int32_t count = fields_.readInt(where.c_str());
            if (count < 0 || count > maximumLinksPerScene ||
                count * smallestLinkSize > fields_.left()) {
                fields_.fail(where + ": " + std::to_string(count) + " links");
            }
            for (std::int32_t k = 0; k < count; ++k) {
                links[static_cast<std::size_t>(position - 1)].push_back(
                    readLink(where + ", link " + std::to_string(k + 1)));
            }
        }
        return links;
    }

  private:
    SceneLink readLink(const std::string& where) {
        SceneLink link;
        link.target = fields_.readInt(where.c_str());
        if (link.target < 1 || link.target > tour_.sceneCount()) {
            fields_.fail(where + ": target scene " + std::to_string(link.target) +
                         " is not in the tour");
        }
        link.pan = angle(where + ": pan", -panLimit, panLimit);
        link.tilt = angle(where + ": tilt", -tiltLimit, tiltLimit);
        link.label = fields_.readString((where + ": label").c_str());
        link.hasView = fields_.readFlag((where + ": view").c_str());
        const float viewPan = fields_.readFloat(where.c_str());
        const float viewTilt = fields_.readFloat(where.c_str());
        const float viewFieldOfView = fields_.readFloat(where.c_str());
        if (link.hasView) {
            if (!within(viewPan, -panLimit, panLimit) || !within(viewTilt, -tiltLimit, tiltLimit) ||
                !within(viewFieldOfView, smallestFieldOfView, largestFieldOfView)) {
                fields_.fail(where + ": the view lies outside the start-view limits");
            }
            link.viewPan = viewPan;
            link.viewTilt = viewTilt;
            link.viewFieldOfView = viewFieldOfView;
        }
        return link;
    }

    float angle(const std::string& field, float low, float high) {
        const float value = fields_.readFloat(field.c_str());
        if (!within(value, low, high)) {
            fields_.fail(field + " is outside " + std::to_string(static_cast<int>(low)) + " to " +
                         std::to_string(static_cast<int>(high)));
        }
        return value;
    }

    BoundedFields& fields_;
    const Tour& tour_;
};

// Each scene's preview in order: where its bytes lie, checked against the
// section's end; the bytes themselves are not read.
class PreviewsSection {
  public:
    PreviewsSection(BoundedFields& fields, const Tour& tour) : fields_(fields), tour_(tour) {}

    std::vector<StoredPreview> read() {
        const std::int32_t scenes = fields_.readInt("previews: scene count");
        if (scenes != tour_.sceneCount()) {
            fields_.fail("previews: " + std::to_string(scenes) + " scenes where the tour has " +
                         std::to_string(tour_.sceneCount()));
        }
        std::vector<StoredPreview> previews;
        for (std::int32_t position = 1; position <= scenes; ++position) {
            const std::int32_t stored = fields_.readInt("previews: scene position");
            // Out of order, twice or missing: no scene is guessed at.
            if (stored != position) {
                fields_.fail("previews: entry " + std::to_string(position) + " is for scene " +
                             std::to_string(stored));
            }
            StoredPreview preview;
            preview.length = fields_.readLength("previews: length");
            preview.offset = fields_.position();
            fields_.skip(preview.length);
            previews.push_back(preview);
        }
        if (fields_.left() != 0) {
            fields_.fail("previews: " + std::to_string(fields_.left()) +
                         " bytes left unread in the section");
        }
        return previews;
    }

  private:
    BoundedFields& fields_;
    const Tour& tour_;
};

// Each scene's notes, then the pictures they show: the texts are read and
// held to the note rules, the pictures only placed.
class NotesSection {
  public:
    NotesSection(BoundedFields& fields, const Tour& tour) : fields_(fields), tour_(tour) {}

    std::vector<std::vector<SceneNote>> read() {
        const std::int32_t scenes = fields_.readInt("notes: scene count");
        if (scenes != tour_.sceneCount()) {
            fields_.fail("notes: " + std::to_string(scenes) + " scenes where the tour has " +
                         std::to_string(tour_.sceneCount()));
        }
        std::vector<std::vector<SceneNote>> notes(static_cast<std::size_t>(scenes));
        for (std::int32_t position = 1; position <= scenes; ++position) {
            const std::string where = "notes of scene " + std::to_string(position);
            const std::int32_t count = fields_.readInt(where.c_str());
            if (count < 0 || count > maximumNotesPerScene ||
                count * smallestNoteSize > fields_.left()) {
                fields_.fail(where + ": " + std::to_string(count) + " notes");
            }
            for (std::int32_t k = 0; k < count; ++k) {
                notes[static_cast<std::size_t>(position - 1)].push_back(
                    readNote(where + ", note " + std::to_string(k + 1)));
            }
        }
        const std::vector<NotePicture> pictures = readPictures();
        std::size_t next = 0;
        for (auto& sceneNotes : notes) {
            for (SceneNote& note : sceneNotes) {
                const std::int32_t number = pictureNumbers_[next++];
                if (number > static_cast<std::int32_t>(pictures.size())) {
                    fields_.fail("notes: picture " + std::to_string(number) + " of " +
                                 std::to_string(pictures.size()) + " is not in the section");
                }
                if (number > 0) {
                    note.picture = pictures[static_cast<std::size_t>(number - 1)];
                }
            }
        }
        if (fields_.left() != 0) {
            fields_.fail("notes: " + std::to_string(fields_.left()) +
                         " bytes left unread in the section");
        }
        return notes;
    }

  private:
    SceneNote readNote(const std::string& where) {
        SceneNote note;
        note.pan = angle(where + ": pan", panLimit);
        note.tilt = angle(where + ": tilt", tiltLimit);
        note.title = text(where + ": title", note_rules::titleFault);
        note.text = text(where + ": text", note_rules::textFault);
        note.link = text(where + ": link", note_rules::linkFault);
        const std::int32_t picture = fields_.readInt((where + ": picture").c_str());
        if (picture < 0) {
            fields_.fail(where + ": picture " + std::to_string(picture));
        }
        pictureNumbers_.push_back(picture);
        return note;
    }

    std::vector<NotePicture> readPictures() {
        const std::int32_t count = fields_.readInt("notes: picture count");
        if (count < 0 || count * smallestPictureSize > fields_.left()) {
            fields_.fail("notes: " + std::to_string(count) + " pictures");
        }
        std::vector<NotePicture> pictures;
        for (std::int32_t k = 1; k <= count; ++k) {
            NotePicture picture;
            picture.length = fields_.readLength("notes: picture length");
            if (picture.length == 0) {
                fields_.fail("notes: picture " + std::to_string(k) + " is empty");
            }
            picture.offset = fields_.position();
            fields_.skip(picture.length);
            pictures.push_back(picture);
        }
        return pictures;
    }

    float angle(const std::string& field, float limit) {
        const float value = fields_.readFloat(field.c_str());
        if (!within(value, -limit, limit)) {
            fields_.fail(field + " is outside " + std::to_string(static_cast<int>(-limit)) +
                         " to " + std::to_string(static_cast<int>(limit)));
        }
        return value;
    }

    std::string text(const std::string& field, std::string (*fault)(std::string_view)) {
        std::string value = fields_.readBytes(field.c_str());
        const std::string wrong = fault(value);
        if (!wrong.empty()) {
            fields_.fail(field + ": " + wrong);
        }
        return value;
    }

    BoundedFields& fields_;
    const Tour& tour_;
    // Each note's picture number in reading order, resolved once the
    // pictures after the notes are placed.
    std::vector<std::int32_t> pictureNumbers_;
};

class BlockReader {
  public:
    BlockReader(std::istream& stream, std::int64_t begin, std::int64_t end, Tour& tour)
        : fields_(stream, begin, end), tour_(tour) {}

    void read() {
        expectMarker();
        const std::int32_t layout = fields_.readInt("version");
        if (layout != version) {
            fields_.fail("version " + std::to_string(layout) + " is not known");
        }
        const std::int32_t sections = fields_.readInt("section count");
        if (sections < 0 || sections > fields_.left() / smallestSectionSize) {
            fields_.fail(std::to_string(sections) + " sections");
        }
        for (std::int32_t k = 0; k < sections; ++k) {
            section();
        }
        // Only a block that is sound throughout changes the tour.
        tour_.setSampling(sampling_);
        if (textCodePage_ != 0 && platform::systemConvertsCodePage(textCodePage_)) {
            tour_.setTextCodePage(textCodePage_);
        }
        for (std::size_t i = 0; i < links_.size(); ++i) {
            tour_.scene(static_cast<std::int32_t>(i) + 1)->setLinks(std::move(links_[i]));
        }
        if (previewsIgnored_.empty()) {
            tour_.setPreviews(std::move(previews_));
        }
        tour_.setTransition(transition_);
        if (notesIgnored_.empty()) {
            for (std::size_t i = 0; i < notes_.size(); ++i) {
                tour_.scene(static_cast<std::int32_t>(i) + 1)->setNotes(std::move(notes_[i]));
            }
        }
    }

    const std::string& previewsIgnored() const { return previewsIgnored_; }
    const std::string& notesIgnored() const { return notesIgnored_; }

  private:
    // Whatever does not start with the marker is no block of ours.
    void expectMarker() {
        const std::int64_t markerSize = static_cast<std::int64_t>(std::strlen(marker));
        if (fields_.left() < FieldReader::longWidth + markerSize) {
            throw NoBlock{};
        }
        if (fields_.readLong("marker") != markerSize ||
            fields_.readText(static_cast<std::int32_t>(markerSize), "marker") != marker) {
            throw NoBlock{};
        }
    }

    void section() {
        const std::string tag = fields_.readString("section tag");
        const std::int32_t length = fields_.readLength(("section " + tag).c_str());
        const std::int64_t contentEnd = fields_.position() + length;
        if (tag == textCodePageTag) {
            textCodePage(contentEnd);
            return;
        }
        if (tag == samplingTag) {
            sampling(contentEnd);
            return;
        }
        if (tag == previewsTag) {
            previews(contentEnd);
            return;
        }
        if (tag == notesTag) {
            notes(contentEnd);
            return;
        }
        if (tag == transitionTag) {
            transition(contentEnd);
            return;
        }
        if (tag != linksTag) {
            fields_.skip(length);
            return;
        }
        if (haveLinks_) {
            fields_.fail("a second links section");
        }
        haveLinks_ = true;
        filling(contentEnd, linksTag, [&] { links_ = LinksSection(fields_, tour_).read(); });
    }

    // Runs `read` over the section's content, which it must read to the
    // end; any fault spoils the block.
    template <class Read>
    void filling(std::int64_t contentEnd, const char* name, Read read) {
        const std::int64_t blockEnd = fields_.limit();
        fields_.setLimit(contentEnd);
        read();
        if (fields_.left() != 0) {
            fields_.fail(std::string(name) + ": " + std::to_string(fields_.left()) +
                         " bytes left unread in the section");
        }
        fields_.setLimit(blockEnd);
    }

    // Runs `read` over a section whose faults cost the section alone, and
    // goes on after it whatever `read` met; returns what was wrong, or "".
    template <class Read>
    std::string onItsOwn(std::int64_t contentEnd, Read read) {
        const std::int64_t blockEnd = fields_.limit();
        fields_.setLimit(contentEnd);
        std::string fault;
        try {
            read();
        } catch (const BadBlock& bad) {
            fault = bad.what + " (at offset " + std::to_string(bad.offset) + ")";
        }
        fields_.setLimit(blockEnd);
        fields_.resumeAt(contentEnd);
        return fault;
    }

    // One INT filling the section; a negative one is no code page at all.
    void textCodePage(std::int64_t contentEnd) {
        if (haveTextCodePage_) {
            fields_.fail("a second text-code-page section");
        }
        haveTextCodePage_ = true;
        if (contentEnd - fields_.position() != FieldReader::intWidth) {
            fields_.fail("text-code-page: the section holds " +
                         std::to_string(contentEnd - fields_.position()) + " bytes, not one INT");
        }
        const std::int32_t codePage = fields_.readInt("text-code-page");
        if (codePage <= 0) {
            fields_.fail("text-code-page: " + std::to_string(codePage) + " is no code page");
        }
        textCodePage_ = static_cast<std::uint32_t>(codePage);
    }

    // One STRING filling the section, at most once in a block.
    std::string word(std::int64_t contentEnd, const char* name, bool& seen) {
        if (seen) {
            fields_.fail(std::string("a second ") + name + " section");
        }
        seen = true;
        std::string value;
        filling(contentEnd, name, [&] { value = fields_.readString(name); });
        return value;
    }

    // A word this reader does not know leaves the tour smooth.
    void sampling(std::int64_t contentEnd) {
        if (word(contentEnd, samplingTag, haveSampling_) == nearestSampling) {
            sampling_ = ViewSampling::nearest;
        }
    }

    // A word this reader does not know (a later writer's) walks.
    void transition(std::int64_t contentEnd) {
        const std::string chosen = word(contentEnd, transitionTag, haveTransition_);
        if (chosen == fadeTransition) {
            transition_ = SceneTransition::fade;
        } else if (chosen == noTransition) {
            transition_ = SceneTransition::none;
        }
    }

    // The section's length has been checked against the block; whatever is
    // wrong inside it costs the previews alone.
    void previews(std::int64_t contentEnd) {
        if (havePreviews_) {
            previewsIgnored_ = "a second previews section";
            fields_.resumeAt(contentEnd);
        } else {
            havePreviews_ = true;
            previewsIgnored_ =
                onItsOwn(contentEnd, [&] { previews_ = PreviewsSection(fields_, tour_).read(); });
        }
        if (!previewsIgnored_.empty()) {
            previews_.clear();
        }
    }

    // As the previews: whatever is wrong inside costs the notes alone.
    void notes(std::int64_t contentEnd) {
        if (haveNotes_) {
            notesIgnored_ = "a second notes section";
            fields_.resumeAt(contentEnd);
        } else {
            haveNotes_ = true;
            notesIgnored_ =
                onItsOwn(contentEnd, [&] { notes_ = NotesSection(fields_, tour_).read(); });
        }
        if (!notesIgnored_.empty()) {
            notes_.clear();
        }
    }

    BoundedFields fields_;
    Tour& tour_;
    bool havePreviews_ = false;
    std::vector<StoredPreview> previews_;
    std::string previewsIgnored_;
    bool haveNotes_ = false;
    std::vector<std::vector<SceneNote>> notes_;
    std::string notesIgnored_;
    bool haveSampling_ = false;
    ViewSampling sampling_ = ViewSampling::smooth;
    bool haveTransition_ = false;
    SceneTransition transition_ = SceneTransition::walk;
    bool haveTextCodePage_ = false;
    std::uint32_t textCodePage_ = 0;
    bool haveLinks_ = false;
    std::vector<std::vector<SceneLink>> links_;
};

}  // namespace

ExtensionBlockStatus readExtensionBlock(std::istream& stream, std::int64_t begin, std::int64_t end,
                                        Tour& tour) {
    if (begin < 0 || end <= begin) {
        return {};
    }
    ExtensionBlockStatus status;
    try {
        BlockReader reader(stream, begin, end, tour);
        reader.read();
        status.kind = ExtensionBlockStatus::read;
        status.previewsIgnored = reader.previewsIgnored();
        status.notesIgnored = reader.notesIgnored();
    } catch (const NoBlock&) {
        stream.clear();
        return {};
    } catch (const BadBlock& bad) {
        stream.clear();
        status.kind = ExtensionBlockStatus::ignored;
        status.offset = bad.offset;
        status.what = bad.what;
    }
    return status;
}

}  // namespace package
