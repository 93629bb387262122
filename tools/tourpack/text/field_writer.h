// Writes the fixed-width fields of a tour package's record stream: decimal
// text, NUL-terminated and NUL-padded to the field's width.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "package/field_reader.h"

namespace tourpack {

// The shortest decimal text of at most 9 characters that reads back as exactly
// `value`; when none exists, the closest one that fits (`exact` is then false).
std::string formatFloatField(float value, bool* exact = nullptr);

class FieldWriter {
  public:
    explicit FieldWriter(std::ostream& out) : out_(out) {}

    void writeFlag(bool value);
    void writeFloat(float value);
    void writeInt(std::int32_t value);
    void writeLong(std::int32_t value);
    // A LONG length, then the bytes.
    void writeString(const std::string& bytes);
    void writeItemRef(std::int32_t offset, std::int32_t length);

    std::int64_t written() const { return written_; }

  private:
    void writeText(const std::string& text, int width);

    std::ostream& out_;
    std::int64_t written_ = 0;
};

// The field writer's twin that writes nothing and only counts: a record
// "written" into it gives the record's size, so that offsets can be planned
// before anything is written.
class CountingFieldWriter {
  public:
    void writeFlag(bool) { written_ += package::FieldReader::flagWidth; }
    void writeFloat(float) { written_ += package::FieldReader::floatWidth; }
    void writeInt(std::int32_t) { written_ += package::FieldReader::intWidth; }
    void writeLong(std::int32_t) { written_ += package::FieldReader::longWidth; }
    void writeString(const std::string& bytes) {
        writeLong(0);
        written_ += static_cast<std::int64_t>(bytes.size());
    }
    void writeItemRef(std::int32_t, std::int32_t) {
        writeLong(0);
        writeLong(0);
    }

    std::int64_t written() const { return written_; }

  private:
    std::int64_t written_ = 0;
};

}  // namespace tourpack
