#include "package/field_reader.h"

#include <gtest/gtest.h>
#include <sstream>
#include <string>

namespace {

std::string padded(const std::string& text, std::size_t width) {
    std::string field = text;
    field.resize(width, '\0');
    return field;
}

TEST(FieldReader, FlagIsTrueOnlyForTheCharacterOne) {
    std::istringstream in(std::string("10Ty \x01", 6));
    package::FieldReader reader(in);
    EXPECT_EQ(reader.readFlag(), 1);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(reader.readFlag(), 0) << "byte " << i + 1;
    }
}

TEST(FieldReader, IntegersParseAsTheRuntimeParsesThem) {
    const std::pair<std::string, std::int32_t> cases[] = {{" 42", 42},
                                                          {"42abc", 42},
                                                          {"abc", 0},
                                                          {"-7", -7},
                                                          {"+15", 15},
                                                          {"", 0},
                                                          {"2147483647", 2147483647},
                                                          {"99999999999999", 2147483647},
                                                          {"-99999999999999", INT32_MIN}};
    for (const auto& [text, expected] : cases) {
        std::istringstream in(padded(text, 17) + padded(text, 33));
        package::FieldReader reader(in);
        EXPECT_EQ(reader.readInt(), expected) << "INT '" << text << "'";
        EXPECT_EQ(reader.readLong(), expected) << "LONG '" << text << "'";
    }
}

TEST(FieldReader, FloatsTakeFractionsAndExponents) {
    std::istringstream in(padded("1e2", 10) + padded("12.5", 10) + padded("-0.75", 10) +
                          padded("x", 10));
    package::FieldReader reader(in);
    EXPECT_EQ(static_cast<float>(reader.readFloat()), 100.0f);
    EXPECT_EQ(static_cast<float>(reader.readFloat()), 12.5f);
    EXPECT_EQ(static_cast<float>(reader.readFloat()), -0.75f);
    EXPECT_EQ(reader.readFloat(), 0.0);
}

TEST(FieldReader, EachReadConsumesExactlyItsWidthWhateverThePadding) {
    // Padding bytes after the NUL are ignored, even when they look like digits.
    std::string stream = "1";
    stream += std::string("3.5\0999999", 10);
    stream += std::string(
        "17\0"
        "55555555555555",
        17);
    stream += padded("-9", 33);
    stream += "1";
    std::istringstream in(stream);
    package::FieldReader reader(in);
    EXPECT_EQ(reader.readFlag(), 1);
    EXPECT_EQ(static_cast<float>(reader.readFloat()), 3.5f);
    EXPECT_EQ(reader.readInt(), 17);
    EXPECT_EQ(reader.readLong(), -9);
    EXPECT_EQ(reader.readFlag(), 1);
}

TEST(FieldReader, AFieldWithoutTerminatorIsStillReadSafely) {
    // Seventeen digits fill the INT field with no NUL; the reader's buffer
    // terminates it, and the next field starts right after.
    std::istringstream in(std::string(17, '1') + padded("5", 17));
    package::FieldReader reader(in);
    EXPECT_EQ(reader.readInt(), INT32_MAX);
    EXPECT_EQ(reader.readInt(), 5);
}

TEST(FieldReader, AfterTheEndEveryReadDeliversNothing) {
    std::istringstream in(padded("8", 17) + "1");
    package::FieldReader reader(in);
    EXPECT_EQ(reader.readInt(), 8);
    EXPECT_EQ(reader.readFlag(), 1);
    EXPECT_EQ(reader.readFlag(), 0);
    EXPECT_EQ(reader.readInt(), 0);
    EXPECT_EQ(reader.readLong(), 0);
    EXPECT_EQ(reader.readFloat(), 0.0);
}

}  // namespace
