#include "text/field_writer.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "package/field_reader.h"

namespace tourpack {

std::string formatFloatField(float value, bool* exact) {
    const auto readsBack = [value](const std::string& text) {
        return static_cast<float>(package::FieldReader::parseReal(text.c_str())) == value;
    };
    std::string shortestExact;
    std::string mostPrecise;
    for (int precision = 1; precision <= 9; ++precision) {
        char text[64];
        std::snprintf(text, sizeof text, "%.*g", precision, static_cast<double>(value));
        const std::string candidate = text;
        if (candidate.size() > 9) {
            continue;
        }
        mostPrecise = candidate;
        if (readsBack(candidate) &&
            (shortestExact.empty() || candidate.size() < shortestExact.size())) {
            shortestExact = candidate;
        }
    }
    if (exact != nullptr) {
        *exact = !shortestExact.empty();
    }
    return shortestExact.empty() ? mostPrecise : shortestExact;
}

void FieldWriter::writeText(const std::string& text, int width) {
    if (static_cast<int>(text.size()) >= width) {
        throw std::logic_error("field text too long: " + text);
    }
    std::vector<char> field(static_cast<std::size_t>(width), '\0');
    text.copy(field.data(), text.size());
    out_.write(field.data(), width);
    written_ += width;
}

void FieldWriter::writeFlag(bool value) {
    out_.put(value ? '1' : '0');
    written_ += 1;
}

void FieldWriter::writeFloat(float value) {
    writeText(formatFloatField(value), package::FieldReader::floatWidth);
}

void FieldWriter::writeInt(std::int32_t value) {
    writeText(std::to_string(value), package::FieldReader::intWidth);
}

void FieldWriter::writeLong(std::int32_t value) {
    writeText(std::to_string(value), package::FieldReader::longWidth);
}

void FieldWriter::writeString(const std::string& bytes) {
    writeLong(static_cast<std::int32_t>(bytes.size()));
    out_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    written_ += static_cast<std::int64_t>(bytes.size());
}

void FieldWriter::writeItemRef(std::int32_t offset, std::int32_t length) {
    writeLong(offset);
    writeLong(length);
}

}  // namespace tourpack
