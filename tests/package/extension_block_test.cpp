#include "package/extension_block.h"

#include <gtest/gtest.h>
#include <sstream>
#include <utility>
#include <vector>

#include "raw_package.h"

namespace {

// One link's fields as they lie in the links section.
struct RawLink {
    std::int64_t target = 2;
    std::string pan = "42.5";
    std::string tilt = "-4";
    std::string label = "Into the gallery";
    char hasView = '0';
    std::string viewPan = "0";
    std::string viewTilt = "0";
    std::string viewFieldOfView = "0";
};

RawPackage& appendLink(RawPackage& raw, const RawLink& link) {
    return raw.integer(link.target)
        .real(link.pan)
        .real(link.tilt)
        .text(link.label)
        .flag(link.hasView)
        .real(link.viewPan)
        .real(link.viewTilt)
        .real(link.viewFieldOfView);
}

// The content of a links section: the scene count, then each scene's links.
std::string linksContent(const std::vector<std::vector<RawLink>>& scenes) {
    RawPackage raw("");
    raw.integer(static_cast<std::int64_t>(scenes.size()));
    for (const auto& links : scenes) {
        raw.integer(static_cast<std::int64_t>(links.size()));
        for (const RawLink& link : links) {
            appendLink(raw, link);
        }
    }
    return raw.bytes();
}

struct RawSection {
    std::string tag;
    std::string content;
    std::int64_t declaredLength = -1;  // -1: the content's own length
};

std::string block(const std::vector<RawSection>& sections, std::int64_t layout = 1,
                  const std::string& marker = "LUMIVUE-EXTENSIONS") {
    RawPackage raw("");
    raw.text(marker).integer(layout).integer(static_cast<std::int64_t>(sections.size()));
    for (const RawSection& section : sections) {
        const auto length = section.declaredLength >= 0
                                ? section.declaredLength
                                : static_cast<std::int64_t>(section.content.size());
        raw.text(section.tag).longValue(length).raw(section.content);
    }
    return raw.bytes();
}

std::string linksBlock(const std::vector<std::vector<RawLink>>& scenes) {
    return block({{"links", linksContent(scenes)}});
}

class ExtensionBlockReader : public ::testing::Test {
  protected:
    ExtensionBlockReader() {
        for (int k = 0; k < 3; ++k) {
            tour_.addScene(std::make_unique<package::Scene>(), k + 1);
        }
    }

    // Reads `bytes` as the block between a stream ending at 7 and a trailer
    // right after the bytes (followed by 41 bytes that must never be read).
    package::ExtensionBlockStatus read(const std::string& bytes) {
        std::istringstream stream("streamX" + bytes + std::string(41, '9'));
        return package::readExtensionBlock(stream, 7, 7 + static_cast<std::int64_t>(bytes.size()),
                                           tour_);
    }

    std::size_t linkCount() const {
        std::size_t count = 0;
        for (std::int32_t position = 1; position <= tour_.sceneCount(); ++position) {
            count += tour_.scene(position)->links().size();
        }
        return count;
    }

    package::Tour tour_;
};

TEST_F(ExtensionBlockReader, GivesEachSceneItsLinks) {
    RawLink withView;
    withView.target = 3;
    withView.pan = "-180";
    withView.tilt = "90";
    withView.label = std::string("Up\0hidden", 9);
    withView.hasView = '1';
    withView.viewPan = "180";
    withView.viewTilt = "-12.25";
    withView.viewFieldOfView = "12";
    const auto status = read(linksBlock({{RawLink{}, withView}, {}, {RawLink{1, "0", "0", ""}}}));
    ASSERT_EQ(status.kind, package::ExtensionBlockStatus::read) << status.what;

    const auto& first = tour_.scene(1)->links();
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[0].target, 2);
    EXPECT_EQ(first[0].pan, 42.5f);
    EXPECT_EQ(first[0].tilt, -4.0f);
    EXPECT_EQ(first[0].label, "Into the gallery");
    EXPECT_FALSE(first[0].hasView);
    EXPECT_EQ(first[1].target, 3);
    EXPECT_EQ(first[1].pan, -180.0f);
    EXPECT_EQ(first[1].tilt, 90.0f);
    EXPECT_EQ(first[1].label, "Up");
    EXPECT_TRUE(first[1].hasView);
    EXPECT_EQ(first[1].viewPan, 180.0f);
    EXPECT_EQ(first[1].viewTilt, -12.25f);
    EXPECT_EQ(first[1].viewFieldOfView, 12.0f);
    EXPECT_TRUE(tour_.scene(2)->links().empty());
    ASSERT_EQ(tour_.scene(3)->links().size(), 1u);
    EXPECT_EQ(tour_.scene(3)->links()[0].target, 1);
    EXPECT_EQ(tour_.scene(3)->links()[0].label, "");
}

TEST_F(ExtensionBlockReader, SectionsItDoesNotKnowAreSkipped) {
    const std::string links = linksContent({{RawLink{}}, {}, {}});
    const auto status =
        read(block({{"codepage", "1252 and whatever else"}, {"links", links}, {"later", ""}}));
    ASSERT_EQ(status.kind, package::ExtensionBlockStatus::read) << status.what;
    EXPECT_EQ(linkCount(), 1u);
}

TEST_F(ExtensionBlockReader, BytesWithoutTheMarkerAreNoBlock) {
    const std::string sound = linksContent({{RawLink{}}, {}, {}});
    for (const std::string& bytes : {std::string(), std::string("x"), std::string(500, '\0'),
                                     block({{"links", sound}}, 1, "LUMIVUE-EXTENSION!"),
                                     block({{"links", sound}}, 1, "LUMIVUE-EXTENSIONSS")}) {
        EXPECT_EQ(read(bytes).kind, package::ExtensionBlockStatus::absent);
    }
    EXPECT_EQ(linkCount(), 0u);
}

TEST_F(ExtensionBlockReader, EveryTruncationIsIgnoredAsAWhole) {
    const std::string whole = linksBlock({{RawLink{}, RawLink{}}, {RawLink{}}, {}});
    const std::size_t markerEnd = 33 + 18;
    for (std::size_t cut = markerEnd; cut < whole.size(); ++cut) {
        const auto status = read(whole.substr(0, cut));
        ASSERT_EQ(status.kind, package::ExtensionBlockStatus::ignored) << "cut at " << cut;
        EXPECT_FALSE(status.what.empty());
        ASSERT_EQ(linkCount(), 0u) << "cut at " << cut;
    }
}

TEST_F(ExtensionBlockReader, OversizedCountsAndLengthsAreIgnored) {
    const std::string links = linksContent({{RawLink{}}, {}, {}});
    RawLink longLabel;
    longLabel.label = "abc";
    std::string overlong = linksContent({{longLabel}, {}, {}});
    // The label claims more bytes than the section holds.
    overlong.replace(overlong.find("3\0", 17 + 17 + 17 + 20, 2), 4, std::string("9999", 4));
    std::vector<RawLink> tooMany(65);
    const std::vector<std::string> blocks = {
        block({{"links", links, static_cast<std::int64_t>(links.size()) + 200}}),
        block({{"links", links, 2000000000}}),
        block({{"links", overlong}}),
        block({{"links", linksContent({tooMany, {}, {}})}}),
        block({{"links", links}})
            .replace(33 + 18 + 17, 17, std::string("2000000000\0", 11) + std::string(6, '\0')),
        block({{"links", RawPackage("").integer(3).integer(1000000).bytes()}}),
    };
    for (std::size_t k = 0; k < blocks.size(); ++k) {
        const auto status = read(blocks[k]);
        EXPECT_EQ(status.kind, package::ExtensionBlockStatus::ignored) << "case " << k;
        EXPECT_EQ(linkCount(), 0u) << "case " << k;
    }
}

TEST_F(ExtensionBlockReader, InconsistentBlocksAreIgnoredAndLeaveNoLink) {
    const auto withLink = [](auto change) {
        RawLink link;
        change(link);
        return linksContent({{RawLink{}}, {link}, {}});
    };
    const std::string sound = linksContent({{RawLink{}}, {}, {}});
    const std::vector<std::pair<const char*, std::string>> blocks = {
        {"scene count not the tour's", block({{"links", linksContent({{RawLink{}}, {}})}})},
        {"target 0", block({{"links", withLink([](RawLink& l) { l.target = 0; })}})},
        {"target past the last scene",
         block({{"links", withLink([](RawLink& l) { l.target = 4; })}})},
        {"pan outside", block({{"links", withLink([](RawLink& l) { l.pan = "180.5"; })}})},
        {"tilt outside", block({{"links", withLink([](RawLink& l) { l.tilt = "-91"; })}})},
        {"pan not finite", block({{"links", withLink([](RawLink& l) { l.pan = "nan"; })}})},
        {"flag neither 0 nor 1", block({{"links", withLink([](RawLink& l) { l.hasView = 'y'; })}})},
        {"view field of view outside", block({{"links", withLink([](RawLink& l) {
                                                   l.hasView = '1';
                                                   l.viewFieldOfView = "170";
                                               })}})},
        {"section longer than its links", block({{"links", sound + std::string(17, '\0')}})},
        {"section shorter than its links",
         block({{"links", sound, static_cast<std::int64_t>(sound.size()) - 10}})},
        {"two links sections", block({{"links", sound}, {"links", sound}})},
        {"unknown version", block({{"links", sound}}, 2)},
        {"negative section count",
         RawPackage("").raw(block({}).substr(0, 33 + 18 + 17)).integer(-1).bytes()},
    };
    for (const auto& [what, bytes] : blocks) {
        const auto status = read(bytes);
        EXPECT_EQ(status.kind, package::ExtensionBlockStatus::ignored) << what;
        EXPECT_EQ(linkCount(), 0u) << what;
    }
    // Without a view its three values are not looked at.
    const auto status = read(block({{"links", withLink([](RawLink& l) { l.viewPan = "999"; })}}));
    EXPECT_EQ(status.kind, package::ExtensionBlockStatus::read) << status.what;
    EXPECT_EQ(linkCount(), 2u);
}

}  // namespace

namespace {

std::string codePageContent(std::int64_t codePage) {
    RawPackage raw("");
    raw.integer(codePage);
    return raw.bytes();
}

// The code page of the tour's texts: taken when the system converts it;
// passed over alone when it does not (the links still count); a section of
// the wrong form spoils the block as any other fault does.
TEST_F(ExtensionBlockReader, TheTextCodePageIsTakenWhenTheSystemConvertsIt) {
    const std::string links = linksContent({{RawLink{}}, {}, {}});
    for (const std::int64_t codePage : {1253, 1251, 932}) {
        tour_.setTextCodePage(0);
        const auto status = read(block({{"text-code-page", codePageContent(codePage)}}));
        ASSERT_EQ(status.kind, package::ExtensionBlockStatus::read) << status.what;
        EXPECT_EQ(tour_.textCodePage(), static_cast<std::uint32_t>(codePage));
    }
    for (const std::int64_t unknown : {1, 3, 42, 12345, 65536, 77777}) {
        tour_.setTextCodePage(0);
        const auto status =
            read(block({{"text-code-page", codePageContent(unknown)}, {"links", links}}));
        ASSERT_EQ(status.kind, package::ExtensionBlockStatus::read) << unknown << status.what;
        EXPECT_EQ(tour_.textCodePage(), 0u) << unknown;
        EXPECT_EQ(linkCount(), 1u) << unknown;
    }
}

std::string samplingContent(const std::string& word) {
    RawPackage raw("");
    raw.text(word);
    return raw.bytes();
}

// The sampling a tour asks for; a word this reader does not know leaves it
// smooth, a section of the wrong form spoils the whole block.
TEST_F(ExtensionBlockReader, TheSamplingIsNearestOnlyWhenTheTourAsksForIt) {
    const std::string links = linksContent({{RawLink{}}, {}, {}});
    const std::vector<std::pair<std::string, package::ViewSampling>> words = {
        {"nearest", package::ViewSampling::nearest},
        {"smooth", package::ViewSampling::smooth},
        {"cubic", package::ViewSampling::smooth},
        {"", package::ViewSampling::smooth}};
    for (const auto& [word, sampling] : words) {
        tour_.setSampling(package::ViewSampling::nearest);
        const auto status = read(block({{"links", links}, {"sampling", samplingContent(word)}}));
        ASSERT_EQ(status.kind, package::ExtensionBlockStatus::read) << word << status.what;
        EXPECT_EQ(tour_.sampling(), sampling) << word;
        EXPECT_EQ(linkCount(), 1u) << word;
    }
    const std::vector<std::vector<RawSection>> faults = {
        {{"sampling", samplingContent("nearest") + "0"}, {"links", links}},
        {{"sampling", ""}, {"links", links}},
        {{"sampling", samplingContent("nearest")},
         {"sampling", samplingContent("nearest")},
         {"links", links}},
    };
    for (std::size_t k = 0; k < faults.size(); ++k) {
        tour_.setSampling(package::ViewSampling::smooth);
        for (std::int32_t position = 1; position <= tour_.sceneCount(); ++position) {
            tour_.scene(position)->setLinks({});
        }
        EXPECT_EQ(read(block(faults[k])).kind, package::ExtensionBlockStatus::ignored) << k;
        EXPECT_EQ(tour_.sampling(), package::ViewSampling::smooth) << k;
        EXPECT_EQ(linkCount(), 0u) << k;
    }
}

TEST_F(ExtensionBlockReader, ATextCodePageSectionOfTheWrongFormSpoilsTheBlock) {
    const std::string links = linksContent({{RawLink{}}, {}, {}});
    const std::vector<std::vector<RawSection>> faults = {
        {{"text-code-page", codePageContent(1253) + "0"}, {"links", links}},
        {{"text-code-page", ""}, {"links", links}},
        {{"text-code-page", codePageContent(-1253)}, {"links", links}},
        {{"text-code-page", codePageContent(0)}, {"links", links}},
        {{"text-code-page", codePageContent(1253)},
         {"text-code-page", codePageContent(1251)},
         {"links", links}},
    };
    for (std::size_t k = 0; k < faults.size(); ++k) {
        tour_.setTextCodePage(0);
        for (std::int32_t position = 1; position <= tour_.sceneCount(); ++position) {
            tour_.scene(position)->setLinks({});
        }
        const auto status = read(block(faults[k]));
        EXPECT_EQ(status.kind, package::ExtensionBlockStatus::ignored) << "fault " << k;
        EXPECT_EQ(tour_.textCodePage(), 0u) << "fault " << k;
        EXPECT_EQ(linkCount(), 0u) << "fault " << k;
    }
}

}  // namespace

namespace {

struct RawPreview {
    std::int64_t position;
    std::string jpeg;
};

std::string previewsContent(std::int64_t sceneCount, const std::vector<RawPreview>& previews) {
    RawPackage raw("");
    raw.integer(sceneCount);
    for (const RawPreview& preview : previews) {
        raw.integer(preview.position).text(preview.jpeg);
    }
    return raw.bytes();
}

// Three previews as build writes them; the second scene has none.
const std::vector<RawPreview> threePreviews = {
    {1, "\xFF\xD8 first"}, {2, ""}, {3, std::string("\xFF\xD8 third\0more", 14)}};

class StoredPreviews : public ExtensionBlockReader {
  protected:
    // The block's bytes as the reader sees them: at offset 7 of the stream.
    package::ExtensionBlockStatus readKept(const std::string& bytes) {
        stream_ = "streamX" + bytes;
        return read(bytes);
    }

    std::string bytesOf(std::int32_t position) const {
        const auto preview = tour_.preview(position);
        if (!preview) {
            return "(none)";
        }
        return stream_.substr(static_cast<std::size_t>(preview->offset),
                              static_cast<std::size_t>(preview->length));
    }

    bool hasAnyPreview() const {
        for (std::int32_t position = 0; position <= tour_.sceneCount() + 1; ++position) {
            if (tour_.preview(position)) {
                return true;
            }
        }
        return false;
    }

    std::string stream_;
};

TEST_F(StoredPreviews, EachScenesPreviewIsFoundWhereItLies) {
    const std::string links = linksContent({{RawLink{}}, {}, {}});
    EXPECT_EQ(read(block({{"links", links}})).kind, package::ExtensionBlockStatus::read);
    EXPECT_FALSE(hasAnyPreview()) << "a tour without the section has none";

    const auto status =
        readKept(block({{"previews", previewsContent(3, threePreviews)}, {"links", links}}));
    ASSERT_EQ(status.kind, package::ExtensionBlockStatus::read) << status.what;
    EXPECT_EQ(status.previewsIgnored, "");
    EXPECT_EQ(bytesOf(1), threePreviews[0].jpeg);
    EXPECT_EQ(bytesOf(2), "(none)");
    EXPECT_EQ(bytesOf(3), threePreviews[2].jpeg);
    EXPECT_FALSE(tour_.preview(0));
    EXPECT_FALSE(tour_.preview(4));
    EXPECT_EQ(linkCount(), 1u);
}

// Whatever is wrong inside the section's declared length costs the previews
// and nothing else; the links beside them stay.
TEST_F(StoredPreviews, DamagedSectionsLeaveNoPreviewsAndTheRestOfTheBlock) {
    const std::string links = linksContent({{RawLink{}}, {}, {}});
    const std::string good = previewsContent(3, threePreviews);
    std::string pastTheEnd = previewsContent(3, {{1, "abc"}, {2, ""}, {3, ""}});
    pastTheEnd.replace(17 + 17, 4, std::string("9999", 4));
    std::string overflowing = pastTheEnd;
    overflowing.replace(17 + 17, 25, "9999999999999999999999999");
    std::string negative = pastTheEnd;
    negative.replace(17 + 17, 4, std::string("-3\0\0", 4));
    const std::vector<std::pair<const char*, std::string>> contents = {
        {"fewer scenes", previewsContent(2, {{1, "a"}, {2, "b"}})},
        {"more scenes", previewsContent(4, {{1, "a"}, {2, "b"}, {3, "c"}, {4, "d"}})},
        {"a scene twice", previewsContent(3, {{1, "a"}, {1, "b"}, {3, "c"}})},
        {"a scene missing", previewsContent(3, {{1, "a"}, {3, "c"}, {4, "d"}})},
        {"out of order", previewsContent(3, {{2, "a"}, {1, "b"}, {3, "c"}})},
        {"a length past the section", pastTheEnd},
        {"a length that overflows", overflowing},
        {"a negative length", negative},
        {"bytes left over", good + "x"},
        {"a count past what a section holds", previewsContent(2000000000, {})},
    };
    for (const auto& [what, content] : contents) {
        const auto status = read(block({{"previews", content}, {"links", links}}));
        ASSERT_EQ(status.kind, package::ExtensionBlockStatus::read) << what << ": " << status.what;
        EXPECT_NE(status.previewsIgnored, "") << what;
        EXPECT_FALSE(hasAnyPreview()) << what;
        EXPECT_EQ(linkCount(), 1u) << what;
        tour_.scene(1)->setLinks({});
    }
    // Every cut of a good section, declared at its cut length.
    for (std::size_t cut = 0; cut < good.size(); ++cut) {
        const auto status = read(block({{"previews", good.substr(0, cut)}, {"links", links}}));
        ASSERT_EQ(status.kind, package::ExtensionBlockStatus::read) << "cut at " << cut;
        EXPECT_FALSE(hasAnyPreview()) << "cut at " << cut;
        ASSERT_EQ(linkCount(), 1u) << "cut at " << cut;
        tour_.scene(1)->setLinks({});
    }
    const auto twice = read(block({{"previews", good}, {"previews", good}}));
    EXPECT_EQ(twice.kind, package::ExtensionBlockStatus::read);
    EXPECT_NE(twice.previewsIgnored, "");
    EXPECT_FALSE(hasAnyPreview());
}

// A section that claims more than the block holds spoils the block as any
// section does; so does a fault after it, and the previews go with it.
TEST_F(StoredPreviews, ABlockIgnoredAsAWholeKeepsNoPreviews) {
    const std::string good = previewsContent(3, threePreviews);
    const std::vector<std::vector<RawSection>> faults = {
        {{"previews", good, static_cast<std::int64_t>(good.size()) + 1}},
        {{"previews", good, 2147483647}},
        {{"previews", good}, {"sampling", ""}},
    };
    for (std::size_t k = 0; k < faults.size(); ++k) {
        EXPECT_EQ(read(block(faults[k])).kind, package::ExtensionBlockStatus::ignored) << k;
        EXPECT_FALSE(hasAnyPreview()) << k;
    }
}

}  // namespace

namespace {

// One note's fields as they lie in the notes section.
struct RawNote {
    std::string pan = "-30";
    std::string tilt = "5.5";
    std::string title = "Plaque";
    std::string text = "Built in 1871.";
    std::string link;
    std::int64_t picture = 0;
};

// The content of a notes section: the scene count, each scene's notes, then
// the pictures.
std::string notesContent(const std::vector<std::vector<RawNote>>& scenes,
                         const std::vector<std::string>& pictures) {
    RawPackage raw("");
    raw.integer(static_cast<std::int64_t>(scenes.size()));
    for (const auto& notes : scenes) {
        raw.integer(static_cast<std::int64_t>(notes.size()));
        for (const RawNote& note : notes) {
            raw.real(note.pan)
                .real(note.tilt)
                .text(note.title)
                .text(note.text)
                .text(note.link)
                .integer(note.picture);
        }
    }
    raw.integer(static_cast<std::int64_t>(pictures.size()));
    for (const std::string& picture : pictures) {
        raw.text(picture);
    }
    return raw.bytes();
}

std::string repeated(const std::string& piece, std::size_t times) {
    std::string all;
    for (std::size_t k = 0; k < times; ++k) {
        all += piece;
    }
    return all;
}

const std::string greek = "\xCE\xA6\xCE\xAC\xCF\x81\xCE\xBF\xCF\x82";        // Φάρος
const std::string japanese = "\xE7\x81\xAF\xE5\x8F\xB0";                     // 灯台
const std::string arabic = "\xD9\x85\xD9\x86\xD8\xA7\xD8\xB1\xD8\xA9";       // منارة
const std::string firstPicture = std::string("\xFF\xD8 plaque\0photo", 15);  // NUL inside
const std::string secondPicture = "GIF89a keeper";

class SceneNotes : public StoredPreviews {
  protected:
    std::size_t noteCount() const {
        std::size_t count = 0;
        for (std::int32_t position = 1; position <= tour_.sceneCount(); ++position) {
            count += tour_.scene(position)->notes().size();
        }
        return count;
    }

    std::string pictureBytes(const package::SceneNote& note) const {
        if (!note.picture) {
            return "(none)";
        }
        return stream_.substr(static_cast<std::size_t>(note.picture->offset),
                              static_cast<std::size_t>(note.picture->length));
    }

    void forgetLinksAndNotes() {
        for (std::int32_t position = 1; position <= tour_.sceneCount(); ++position) {
            tour_.scene(position)->setLinks({});
            tour_.scene(position)->setNotes({});
        }
    }

    // Three scenes' notes in three scripts: the longest title and text the
    // rules allow (counted in characters, not bytes), a picture two notes
    // share and one of its own.
    std::string goodContent() const {
        RawNote longest;
        longest.title = repeated(greek.substr(0, 2), 80);  // 80 characters, 160 bytes
        // 2000 + 2 + 1995 + 3 = 4000 characters.
        longest.text = repeated(japanese, 1000) + "\n\n" + repeated(arabic, 399) + "\t..";
        longest.link = "https://example.org/%CE%A6?a=1#b";
        longest.picture = 1;
        RawNote plain;
        plain.pan = "180";
        plain.tilt = "-90";
        plain.title = arabic;
        plain.text = "";
        RawNote sharing;
        sharing.pan = "-180";
        sharing.tilt = "90";
        sharing.title = japanese;
        sharing.link = "HTTP://example.org";
        sharing.picture = 1;
        RawNote own = sharing;
        own.picture = 2;
        return notesContent({{longest, plain}, {}, {sharing, own}}, {firstPicture, secondPicture});
    }
};

TEST_F(SceneNotes, EachSceneGetsItsNotesWithTheirTextsAndPictures) {
    const std::string links = linksContent({{RawLink{}}, {}, {}});
    const auto status = readKept(block({{"notes", goodContent()}, {"links", links}}));
    ASSERT_EQ(status.kind, package::ExtensionBlockStatus::read) << status.what;
    ASSERT_EQ(status.notesIgnored, "");

    const auto& first = tour_.scene(1)->notes();
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[0].pan, -30.0f);
    EXPECT_EQ(first[0].tilt, 5.5f);
    EXPECT_EQ(first[0].title.size(), 160u);
    EXPECT_EQ(first[0].text.substr(0, 6), japanese);
    EXPECT_NE(first[0].text.find("\n\n" + arabic), std::string::npos) << "paragraphs are kept";
    EXPECT_EQ(first[0].link, "https://example.org/%CE%A6?a=1#b");
    EXPECT_EQ(pictureBytes(first[0]), firstPicture);
    EXPECT_EQ(first[1].pan, 180.0f);
    EXPECT_EQ(first[1].tilt, -90.0f);
    EXPECT_EQ(first[1].title, arabic);
    EXPECT_EQ(first[1].text, "");
    EXPECT_EQ(first[1].link, "");
    EXPECT_EQ(pictureBytes(first[1]), "(none)");
    EXPECT_TRUE(tour_.scene(2)->notes().empty());
    const auto& third = tour_.scene(3)->notes();
    ASSERT_EQ(third.size(), 2u);
    EXPECT_EQ(third[0].title, japanese);
    EXPECT_EQ(third[0].picture->offset, first[0].picture->offset) << "one picture, stored once";
    EXPECT_EQ(pictureBytes(third[1]), secondPicture);
    EXPECT_EQ(linkCount(), 1u);
}

// Whatever is wrong inside the section's declared length costs the notes
// and nothing else: texts that break the rules the player relies on (one
// line of at most 80 characters, well-formed UTF-8, only web addresses),
// counts and numbers that do not match, lengths past the section.
TEST_F(SceneNotes, DamagedSectionsLeaveNoNotesAndTheRestOfTheBlock) {
    const auto withNote = [](auto change) {
        RawNote note;
        change(note);
        return notesContent({{RawNote{}}, {note}, {}}, {firstPicture});
    };
    std::string pastTheEnd = notesContent({{}, {}, {}}, {"abc"});
    pastTheEnd.replace(4 * 17 + 17, 4, std::string("9999", 4));
    std::string overflowing = pastTheEnd;
    overflowing.replace(4 * 17 + 17, 25, "9999999999999999999999999");
    const std::vector<std::pair<const char*, std::string>> contents = {
        {"fewer scenes", notesContent({{}, {}}, {})},
        {"65 notes", notesContent({std::vector<RawNote>(65), {}, {}}, {})},
        {"a note count past the section",
         notesContent({{}, {}, {}}, {})
             .replace(34, 17, std::string("2000000000", 10) + std::string(7, '\0'))},
        {"pan outside", withNote([](RawNote& n) { n.pan = "180.5"; })},
        {"tilt not finite", withNote([](RawNote& n) { n.tilt = "inf"; })},
        {"no title", withNote([](RawNote& n) { n.title = ""; })},
        {"81 characters", withNote([](RawNote& n) { n.title = repeated(greek.substr(0, 2), 81); })},
        {"a title of two lines", withNote([](RawNote& n) { n.title = "Two\nlines"; })},
        {"a text of 4001 characters",
         withNote([](RawNote& n) { n.text = repeated(japanese, 2000) + "x"; })},
        {"a carriage return", withNote([](RawNote& n) { n.text = "a\r\nb"; })},
        {"a NUL", withNote([](RawNote& n) { n.text = std::string("a\0b", 3); })},
        {"an overlong form", withNote([](RawNote& n) { n.text = "\xC0\xAF"; })},
        {"a surrogate", withNote([](RawNote& n) { n.title = "\xED\xA0\x80"; })},
        {"past U+10FFFF", withNote([](RawNote& n) { n.text = "\xF4\x90\x80\x80"; })},
        {"a sequence cut short", withNote([](RawNote& n) { n.title = "ab\xE7\x81"; })},
        {"a stray continuation", withNote([](RawNote& n) { n.text = "\x81"; })},
        {"a script address", withNote([](RawNote& n) { n.link = "javascript:alert(1)"; })},
        {"a file address", withNote([](RawNote& n) { n.link = "file:///C:/Windows/x.exe"; })},
        {"a program", withNote([](RawNote& n) { n.link = "calc.exe"; })},
        {"no host", withNote([](RawNote& n) { n.link = "https:///path"; })},
        {"a blank", withNote([](RawNote& n) { n.link = "https://a.org/x y"; })},
        {"an address too long",
         withNote([](RawNote& n) { n.link = "https://a.org/" + std::string(2040, 'x'); })},
        {"picture 2 of 1", withNote([](RawNote& n) { n.picture = 2; })},
        {"picture -1", withNote([](RawNote& n) { n.picture = -1; })},
        {"an empty picture", notesContent({{}, {}, {}}, {""})},
        {"a picture past the section", pastTheEnd},
        {"a length that overflows", overflowing},
        {"a picture count past the section",
         notesContent({{}, {}, {}}, {})
             .replace(4 * 17, 17, std::string("99999999", 8) + std::string(9, '\0'))},
        {"bytes left over", goodContent() + "x"},
    };
    const std::string links = linksContent({{RawLink{}}, {}, {}});
    for (const auto& [what, content] : contents) {
        forgetLinksAndNotes();
        const auto status = read(block({{"notes", content}, {"links", links}}));
        ASSERT_EQ(status.kind, package::ExtensionBlockStatus::read) << what << ": " << status.what;
        EXPECT_NE(status.notesIgnored, "") << what;
        EXPECT_EQ(noteCount(), 0u) << what;
        EXPECT_EQ(linkCount(), 1u) << what;
    }
    // Every cut of a good section, declared at its cut length.
    const std::string good = goodContent();
    for (std::size_t cut = 0; cut < good.size(); cut += cut < 400 ? 1 : 97) {
        forgetLinksAndNotes();
        const auto status = read(block({{"notes", good.substr(0, cut)}, {"links", links}}));
        ASSERT_EQ(status.kind, package::ExtensionBlockStatus::read) << "cut at " << cut;
        ASSERT_NE(status.notesIgnored, "") << "cut at " << cut;
        ASSERT_EQ(noteCount(), 0u) << "cut at " << cut;
        ASSERT_EQ(linkCount(), 1u) << "cut at " << cut;
    }
    forgetLinksAndNotes();
    const auto twice = read(block({{"notes", good}, {"notes", good}}));
    EXPECT_EQ(twice.kind, package::ExtensionBlockStatus::read);
    EXPECT_NE(twice.notesIgnored, "");
    EXPECT_EQ(noteCount(), 0u);
    // A section longer than the block spoils the block, as any section does.
    const auto longer = read(block({{"notes", good, static_cast<std::int64_t>(good.size()) + 1}}));
    EXPECT_EQ(longer.kind, package::ExtensionBlockStatus::ignored);
    EXPECT_EQ(noteCount(), 0u);
}

// The transition a tour asks for; a word this reader does not know (a later
// writer's) walks, a section of the wrong form spoils the whole block.
TEST_F(SceneNotes, TheTransitionIsAWalkUnlessTheTourAsksOtherwise) {
    const std::string links = linksContent({{RawLink{}}, {}, {}});
    tour_.setTransition(package::SceneTransition::none);
    ASSERT_EQ(read(block({{"links", links}})).kind, package::ExtensionBlockStatus::read);
    EXPECT_EQ(tour_.transition(), package::SceneTransition::walk) << "a tour without the section";
    const std::vector<std::pair<std::string, package::SceneTransition>> words = {
        {"fade", package::SceneTransition::fade},
        {"none", package::SceneTransition::none},
        {"walk", package::SceneTransition::walk},
        {"zoom", package::SceneTransition::walk},
        {"", package::SceneTransition::walk}};
    for (const auto& [word, transition] : words) {
        tour_.setTransition(package::SceneTransition::fade);
        forgetLinksAndNotes();
        const auto status = read(block({{"transition", samplingContent(word)}, {"links", links}}));
        ASSERT_EQ(status.kind, package::ExtensionBlockStatus::read) << word << status.what;
        EXPECT_EQ(tour_.transition(), transition) << word;
        EXPECT_EQ(linkCount(), 1u) << word;
    }
    for (const auto& sections : std::vector<std::vector<RawSection>>{
             {{"transition", samplingContent("none") + "0"}, {"links", links}},
             {{"transition", samplingContent("none")}, {"transition", samplingContent("none")}}}) {
        tour_.setTransition(package::SceneTransition::walk);
        forgetLinksAndNotes();
        EXPECT_EQ(read(block(sections)).kind, package::ExtensionBlockStatus::ignored);
        EXPECT_EQ(tour_.transition(), package::SceneTransition::walk);
    }
}

}  // namespace
