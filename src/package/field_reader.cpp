#include "package/field_reader.h"

#include <climits>
#include <cstdlib>
#include <cstring>

namespace package {

void FieldReader::readField(char* buffer, int width) {
    std::memset(buffer, 0, static_cast<std::size_t>(width) + 1);
    stream_.read(buffer, width);
}

std::int32_t FieldReader::readFlag() {
    char buffer[flagWidth + 1];
    readField(buffer, flagWidth);
    return buffer[0] == '1' ? 1 : 0;
}

double FieldReader::readFloat() {
    char buffer[floatWidth + 1];
    readField(buffer, floatWidth);
    return parseReal(buffer);
}

std::int32_t FieldReader::readInt() {
    char buffer[intWidth + 1];
    readField(buffer, intWidth);
    return parseInteger(buffer);
}

std::int32_t FieldReader::readLong() {
    char buffer[longWidth + 1];
    readField(buffer, longWidth);
    return parseInteger(buffer);
}

std::int32_t FieldReader::parseInteger(const char* text) {
    const long long value = std::strtoll(text, nullptr, 10);
    if (value > INT32_MAX) {
        return INT32_MAX;
    }
    if (value < INT32_MIN) {
        return INT32_MIN;
    }
    return static_cast<std::int32_t>(value);
}

double FieldReader::parseReal(const char* text) {
    return std::strtod(text, nullptr);
}

}  // namespace package
