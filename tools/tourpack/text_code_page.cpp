#include "text_code_page.h"

#include <algorithm>
#include <string>
#include <vector>

#include "package/extension_block.h"
#include "package/field_reader.h"
#include "text_encoding.h"

namespace tourpack {
namespace {

using package::FieldReader;

// The block begins with its marker as a STRING field: the marker's length as
// a LONG, then the marker.
std::string blockStart() {
    const std::string marker = package::extension_block::marker;
    std::string length = std::to_string(marker.size());
    length.resize(FieldReader::longWidth, '\0');
    return length + marker;
}

// Where the block starts, or -1: the last place in the bytes that reads as its
// start (the language module stored before it cannot be searched past).
std::int64_t findBlock(std::istream& stream, std::int64_t begin, std::int64_t end) {
    if (end <= begin) {
        return -1;
    }
    std::vector<char> bytes(static_cast<std::size_t>(end - begin));
    stream.clear();
    stream.seekg(begin);
    stream.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!stream) {
        return -1;
    }
    const std::string start = blockStart();
    const auto found = std::find_end(bytes.begin(), bytes.end(), start.begin(), start.end());
    return found == bytes.end() ? -1 : begin + (found - bytes.begin());
}

bool readText(std::istream& stream, std::int64_t& left, std::string& text) {
    const std::int32_t length = FieldReader(stream).readLong();
    left -= FieldReader::longWidth;
    if (length < 0 || length > left) {
        return false;
    }
    text.assign(static_cast<std::size_t>(length), '\0');
    stream.read(text.data(), length);
    left -= length;
    return static_cast<bool>(stream);
}

}  // namespace

int readTextCodePage(std::istream& stream, std::int64_t begin, std::int64_t end) {
    const std::int64_t at = findBlock(stream, begin, end);
    if (at < 0) {
        return defaultTextCodePage;
    }
    stream.clear();
    stream.seekg(at);
    std::int64_t left = end - at;
    std::string text;
    readText(stream, left, text);
    FieldReader fields(stream);
    fields.readInt();  // the layout version: sections are read by their tags
    const std::int32_t sections = fields.readInt();
    left -= 2 * FieldReader::intWidth;
    for (std::int32_t i = 0; i < sections && left > 0; ++i) {
        if (!readText(stream, left, text)) {
            break;
        }
        const std::int32_t length = fields.readLong();
        left -= FieldReader::longWidth;
        if (length < 0 || length > left) {
            break;
        }
        if (text == package::extension_block::textCodePageTag && length >= FieldReader::intWidth) {
            return fields.readInt();
        }
        stream.seekg(length, std::ios::cur);
        left -= length;
    }
    return defaultTextCodePage;
}

}  // namespace tourpack
