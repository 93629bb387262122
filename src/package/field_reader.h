// Reads the fixed-width fields of a tour package's record stream. Numbers are
// decimal text, NUL-terminated and NUL-padded inside their field, so the format
// has no byte order. Once the stream has ended every read delivers nothing:
// numbers read as 0 and flags as false.
#pragma once

#include <cstdint>
#include <istream>

namespace package {

class FieldReader {
  public:
    static constexpr int flagWidth = 1;
    static constexpr int floatWidth = 10;
    static constexpr int intWidth = 17;
    static constexpr int longWidth = 33;

    explicit FieldReader(std::istream& stream) : stream_(stream) {}

    // True exactly when the byte is "1".
    std::int32_t readFlag();
    // Text parsed as atof parses it.
    double readFloat();
    // Text parsed as atoi / atol parse it on the player's platform: signed
    // 32-bit, saturating at the limits.
    std::int32_t readInt();
    std::int32_t readLong();

    // Parses one field's text the way the reader does (used by tools and tests).
    static std::int32_t parseInteger(const char* text);
    static double parseReal(const char* text);

  private:
    // Reads `width` bytes into `buffer` (width + 1 bytes, zero-filled first), so
    // that the text is always terminated whatever the field holds.
    void readField(char* buffer, int width);

    std::istream& stream_;
};

}  // namespace package
