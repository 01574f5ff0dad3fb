#include <gtest/gtest.h>

#include <string>

#include "updater/Unit1.h"

namespace {

struct FieldCase {
    const char* name;
    std::string line;
    std::size_t start;
    std::string field;
    std::size_t next;
};

class InstructionField : public ::testing::TestWithParam<FieldCase> {};

TEST_P(InstructionField, ReadsUpToItsDelimiterOrLimit) {
    std::string field = "left over";
    const std::size_t next = qx::ReadInstructionField(field, GetParam().line, GetParam().start, 4096);
    EXPECT_EQ(field, GetParam().field);
    EXPECT_EQ(next, GetParam().next);
}

const std::string k4095(4095, 'x');
const std::string k5000(5000, 'y');

INSTANTIATE_TEST_SUITE_P(
    Cases, InstructionField,
    ::testing::Values(
        FieldCase{"Comma", ">Get=a,b", 5, "a", 7}, FieldCase{"Semicolon", ">Get=a;b", 5, "a", 7},
        FieldCase{"EndOfLine", ">Get=a,b", 7, "b", 8}, FieldCase{"AtEnd", ">Get=a,b", 8, "", 8},
        FieldCase{"PastEnd", ">Get", 9, "", 4}, FieldCase{"EmptyBeforeComma", ">Get=,b", 5, "", 6},
        FieldCase{"EqualsIsOrdinary", ">Path=http://h/q?x=1", 6, "http://h/q?x=1", 20},
        FieldCase{"BlanksKept", ">Get= a ,b", 5, " a ", 9},
        FieldCase{"DoubleByteKept", ">Get=\x95\x5C,b", 5, "\x95\x5C", 8},
        FieldCase{"Exactly4095ThenEnd", ">Get=" + k4095, 5, k4095, 5 + 4095},
        FieldCase{"Exactly4095ThenCommaSkipsToSemicolon", ">Get=" + k4095 + ",b;c", 5, k4095, 5 + 4098},
        FieldCase{"Exactly4095ThenCommaNoSemicolon", ">Get=" + k4095 + ",b", 5, k4095, 5 + 4097},
        FieldCase{"Exactly4095ThenSemicolon", ">Get=" + k4095 + ";b", 5, k4095, 5 + 4096},
        FieldCase{"OverLimitThenCommaAndSemicolon", ">Get=" + k5000 + ",b;c", 5, k5000.substr(0, 4095),
                  5 + 5003},
        FieldCase{"4094ThenComma", ">Get=" + k4095.substr(1) + ",b", 5, k4095.substr(1), 5 + 4095}),
    [](const ::testing::TestParamInfo<FieldCase>& info) { return std::string(info.param.name); });

} // namespace
