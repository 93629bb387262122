// The record stream and the extension block after it, written into a
// FieldWriter or, to size them first, a CountingFieldWriter.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "manifest/manifest.h"
#include "manifest/sampling_words.h"
#include "manifest/transition_words.h"
#include "package/build_inputs.h"
#include "package/extension_block.h"
#include "package/field_reader.h"
#include "text/field_writer.h"

namespace tourpack {

// The links section's content: per scene the number of links, then each link.
template <class Fields>
void writeLinksSection(Fields& fields, const Manifest& manifest, const BuildInputs& inputs) {
    fields.writeInt(static_cast<std::int32_t>(manifest.scenes.size()));
    for (std::size_t i = 0; i < manifest.scenes.size(); ++i) {
        const std::vector<LinkEntry>& links = manifest.scenes[i].links;
        fields.writeInt(static_cast<std::int32_t>(links.size()));
        for (std::size_t k = 0; k < links.size(); ++k) {
            const LinkEntry& link = links[k];
            fields.writeInt(link.target);
            fields.writeFloat(static_cast<float>(link.pan));
            fields.writeFloat(static_cast<float>(link.tilt));
            fields.writeString(inputs.scenes[i].linkLabels[k]);
            fields.writeFlag(link.hasView);
            fields.writeFloat(link.hasView ? static_cast<float>(link.viewPan) : 0.0f);
            fields.writeFloat(link.hasView ? static_cast<float>(link.viewTilt) : 0.0f);
            fields.writeFloat(link.hasView ? static_cast<float>(link.viewFieldOfView) : 0.0f);
        }
    }
}

// The previews section's content: the scene count, then per scene its
// position and its JPEG.
template <class Fields>
void writePreviewsSection(Fields& fields, const BuildInputs& inputs) {
    fields.writeInt(static_cast<std::int32_t>(inputs.previews.size()));
    for (std::size_t i = 0; i < inputs.previews.size(); ++i) {
        fields.writeInt(static_cast<std::int32_t>(i + 1));
        fields.writeString(inputs.previews[i]);
    }
}

// The notes section's content: the scene count, each scene's notes with
// their texts in UTF-8 and their pictures' numbers, then the pictures.
template <class Fields>
void writeNotesSection(Fields& fields, const Manifest& manifest, const BuildInputs& inputs) {
    fields.writeInt(static_cast<std::int32_t>(manifest.scenes.size()));
    for (std::size_t i = 0; i < manifest.scenes.size(); ++i) {
        const std::vector<NoteEntry>& notes = manifest.scenes[i].notes;
        fields.writeInt(static_cast<std::int32_t>(notes.size()));
        for (std::size_t k = 0; k < notes.size(); ++k) {
            fields.writeFloat(static_cast<float>(notes[k].pan));
            fields.writeFloat(static_cast<float>(notes[k].tilt));
            fields.writeString(notes[k].title);
            fields.writeString(notes[k].text);
            fields.writeString(notes[k].link);
            fields.writeInt(inputs.scenes[i].notePictures[k]);
        }
    }
    fields.writeInt(static_cast<std::int32_t>(inputs.notePictures.size()));
    for (const std::string& picture : inputs.notePictures) {
        fields.writeString(picture);
    }
}

// A section whose content is counted first: its tag, its length, its content.
template <class Fields, class Content>
void writeCountedSection(Fields& fields, const char* tag, Content content) {
    fields.writeString(tag);
    CountingFieldWriter counter;
    content(counter);
    fields.writeLong(static_cast<std::int32_t>(counter.written()));
    content(fields);
}

// The extension block after the record stream (package/extension_block.h):
// the links, when there are any; the texts' code page, always: a tour that
// names none has its texts read in the showing system's code page, so a
// Windows-1252 tour would show garbled on a Cyrillic or Greek system; the
// sampling and the transition, always, so that the tour says what its author
// chose; the scenes' previews, when they were made; the notes, when there are
// any. Each section's length is counted before its content is written.
template <class Fields>
void writeExtensionBlock(Fields& fields, const Manifest& manifest, const BuildInputs& inputs) {
    namespace block = package::extension_block;
    fields.writeString(block::marker);
    fields.writeInt(block::version);
    const bool hasPreviews = !inputs.previews.empty();
    fields.writeInt(3 + (inputs.hasLinks ? 1 : 0) + (hasPreviews ? 1 : 0) +
                    (inputs.hasNotes ? 1 : 0));
    if (inputs.hasLinks) {
        writeCountedSection(fields, block::linksTag,
                            [&](auto& content) { writeLinksSection(content, manifest, inputs); });
    }
    fields.writeString(block::textCodePageTag);
    fields.writeLong(package::FieldReader::intWidth);
    fields.writeInt(inputs.textCodePage);
    writeCountedSection(fields, block::samplingTag, [&](auto& content) {
        content.writeString(samplingWord(manifest.sampling));
    });
    if (hasPreviews) {
        writeCountedSection(fields, block::previewsTag,
                            [&](auto& content) { writePreviewsSection(content, inputs); });
    }
    writeCountedSection(fields, block::transitionTag, [&](auto& content) {
        content.writeString(transitionWord(manifest.transition));
    });
    if (inputs.hasNotes) {
        writeCountedSection(fields, block::notesTag,
                            [&](auto& content) { writeNotesSection(content, manifest, inputs); });
    }
}

// The record stream, into a FieldWriter or a CountingFieldWriter. A file
// stored in a record (sound, skin image, language module) is a LONG length
// and then the file's bytes, which `copyFile(path, size)` delivers.
template <class Fields, class CopyFile>
void writeRecordStream(Fields& fields, const Manifest& manifest, const BuildInputs& inputs,
                       CopyFile copyFile) {
    const auto itemRef = [&](bool present, std::size_t index) {
        if (!present) {
            fields.writeItemRef(0, 0);
            return;
        }
        const PayloadSlot& slot = inputs.payloads.at(index);
        fields.writeItemRef(static_cast<std::int32_t>(slot.offset),
                            static_cast<std::int32_t>(slot.size));
    };
    const auto blob = [&](const std::filesystem::path& path, std::int64_t size) {
        fields.writeLong(static_cast<std::int32_t>(size));
        if (size > 0) {
            copyFile(path, size);
        }
    };
    fields.writeString(inputs.title);
    fields.writeInt(manifest.viewSize);
    fields.writeInt(manifest.rotationSpeed);
    fields.writeInt(static_cast<std::int32_t>(inputs.scenes.size()));
    fields.writeFlag(manifest.soundOn);
    fields.writeFlag(manifest.autoPlay);
    fields.writeInt(manifest.fullScreenMode);
    blob(manifest.backgroundSound, inputs.backgroundSize);
    for (std::size_t i = 0; i < inputs.scenes.size(); ++i) {
        const SceneEntry& scene = manifest.scenes[i];
        fields.writeString(inputs.scenes[i].name);
        fields.writeFloat(static_cast<float>(scene.pan));
        fields.writeFloat(static_cast<float>(scene.tilt));
        fields.writeFloat(static_cast<float>(scene.fieldOfView));
        itemRef(true, inputs.scenes[i].image);
        itemRef(inputs.scenes[i].hasSound, inputs.scenes[i].sound);
    }
    for (const std::string& text : inputs.infoTexts) {
        fields.writeString(text);
    }
    itemRef(inputs.hasPicture, inputs.picture);
    for (std::size_t slot = 0; slot < inputs.skin.size(); ++slot) {
        blob(inputs.skin[slot], inputs.skinSizes[slot]);
    }
    blob(inputs.languageModule, inputs.languageSize);
    writeExtensionBlock(fields, manifest, inputs);
}

}  // namespace tourpack
