// Writes tour packages field by field, byte for byte, independently of the
// packer, so that tests can make exactly the streams they need (bad ones too).
#pragma once

#include <cstdint>
#include <string>

class RawPackage {
  public:
    // Starts with `prefix` (the player image and payload area).
    explicit RawPackage(std::string prefix = "MZ-player-image") : bytes_(std::move(prefix)) {}

    RawPackage& raw(const std::string& bytes) {
        bytes_ += bytes;
        return *this;
    }
    RawPackage& field(const std::string& text, std::size_t width) {
        std::string padded = text;
        padded.resize(width, '\0');
        return raw(padded);
    }
    RawPackage& flag(char c) { return raw(std::string(1, c)); }
    RawPackage& real(const std::string& text) { return field(text, 10); }
    RawPackage& integer(std::int64_t value) { return field(std::to_string(value), 17); }
    RawPackage& longValue(std::int64_t value) { return field(std::to_string(value), 33); }
    RawPackage& text(const std::string& bytes) {
        return longValue(static_cast<std::int64_t>(bytes.size())).raw(bytes);
    }
    RawPackage& itemRef(std::int64_t offset, std::int64_t length) {
        return longValue(offset).longValue(length);
    }

    std::size_t size() const { return bytes_.size(); }
    const std::string& bytes() const { return bytes_; }

    // The stream's settings, count and background sound.
    RawPackage& header(const std::string& title, std::int64_t sceneCount,
                       const std::string& background = "snd") {
        return text(title)
            .integer(2)
            .integer(3)
            .integer(sceneCount)
            .flag('1')
            .flag('0')
            .integer(1)
            .text(background);
    }
    RawPackage& scene(const std::string& name, std::int64_t imageOffset = 0,
                      std::int64_t imageLength = 0) {
        return text(name)
            .real("10.5")
            .real("-20")
            .real("75")
            .itemRef(imageOffset, imageLength)
            .itemRef(0, 0);
    }
    RawPackage& info() {
        return text("one")
            .text("two")
            .text("three")
            .text("http://example.org/")
            .text("me@example.org")
            .text("six")
            .itemRef(0, 0);
    }
    // The 26 skin images (slot s holds the text "skin<s>") and the language module.
    RawPackage& skinAndLanguage() {
        for (int slot = 0; slot < 26; ++slot) {
            text("skin" + std::to_string(slot));
        }
        return text("MZlanguage");
    }

    // Appends the trailer pointing at `recordStream`.
    std::string finish(std::int64_t recordStream) const {
        RawPackage copy(*this);
        copy.longValue(recordStream).raw("CAFEBABE");
        return copy.bytes_;
    }

  private:
    std::string bytes_;
};
