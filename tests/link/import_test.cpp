// The recording line and the import's texts: decoding, cleaning, list rows,
// file names and transfer files.
#include "link/link.h"
#include "shell/shell.h"
#include "support/app_fixture.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>

namespace fs = std::filesystem;

namespace {

const std::string EXAMPLE = "0012;1;1;001.00;00010;1.50E+2;2.50E-1;";

ImportEntry Decode(const std::string &line, int fields) {
    ImportEntry e{};
    ParseRecordingHeader(line, &e);
    DecodeRecordingLine(line, fields, &e);
    return e;
}

double Value(const std::string &token) {
    double v = -1;
    EXPECT_TRUE(DecodeValueText(token, &v)) << token;
    return v;
}

// ---------------------------------------------------------------- value fields

TEST(ValueField, ExponentFormInBothDirections) {
    EXPECT_EQ(Value("1.50E+2"), 150.0);
    EXPECT_EQ(Value("2.50E-1"), 0.25);
    EXPECT_EQ(Value("2.50e-1"), 0.25);
    EXPECT_EQ(Value("7E+0"), 7.0);
    EXPECT_EQ(Value("1.5E-12"), 1.5 / 1e12);
    // Anything but "-" in the sign's place counts as positive.
    EXPECT_EQ(Value("3.0E 2"), 300.0);
}

TEST(ValueField, LargeExponentsDoNotWrap) {
    // Up to 10^9 the multiplier is the exact integer it always was.
    double m = 1.0;
    for (int e = 0; e <= 9; ++e, m *= 10)
        EXPECT_EQ(ExponentMultiplier(e), m) << e;
    EXPECT_EQ(ExponentMultiplier(10), 1e10);
    EXPECT_EQ(ExponentMultiplier(12), 1e12);
    EXPECT_EQ(ExponentMultiplier(22), 1e22);
    EXPECT_EQ(Value("1.5E+12"), 1.5e12);
    EXPECT_EQ(Value("1.0E+10"), 1e10) << "32-bit arithmetic gave 1410065408";
    EXPECT_EQ(Value("1.0E-10"), 1e-10);
}

TEST(ValueField, NotANumberOfTheInstrumentIsUndefined) {
    EXPECT_EQ(Value("-1.5E+0"), UNDEFINED_VALUE) << "a minus sign before the mantissa";
    EXPECT_EQ(Value("1.A0E+2"), UNDEFINED_VALUE) << "a letter in the mantissa";
    EXPECT_EQ(Value("----E+0"), UNDEFINED_VALUE) << "the instrument's missing sample";
    EXPECT_EQ(Value("1.5E+"), UNDEFINED_VALUE) << "no exponent digit";
    EXPECT_EQ(Value("1.5E2"), UNDEFINED_VALUE) << "the digit stands where the sign belongs";
    EXPECT_EQ(Value("1234567E"), UNDEFINED_VALUE) << "marker at the field's end";
}

TEST(ValueField, TheInstrumentsNumberCorrectlyRounded) {
    // Mantissa times a power of ten in doubles rounds twice: 1.18 x 10 gave
    // 11.799999999999999, 9.87 x 10^7 gave 98699999.99999999.
    EXPECT_EQ(Value("1.18E+1"), 11.8);
    EXPECT_EQ(Value("9.87E+7"), 98700000.0);
    EXPECT_EQ(Value("1.1E-1"), 0.11);
    EXPECT_EQ(Value("3.3E-3"), 0.0033);
    EXPECT_EQ(Value("8.9E-12"), 8.9e-12);
    EXPECT_EQ(Value("4.56E+22"), 4.56e22);
    EXPECT_EQ(Value("E+2"), 0.0) << "no mantissa digit";
}

TEST(ValueField, WithoutMarkerNothingIsStored) {
    double v = 42;
    EXPECT_FALSE(DecodeValueText("150.0", &v));
    EXPECT_FALSE(DecodeValueText("", &v));
    EXPECT_FALSE(DecodeValueText("________", &v));
    EXPECT_EQ(v, 42);
    // Through the entry's token, as the import calls it.
    ImportEntry &e = importTable[7];
    e.values.assign(3, 5.0);
    std::strcpy(e.token, "12.5");
    EXPECT_EQ(DecodeValueToken(7, 1), 0);
    EXPECT_EQ(e.values[1], 5.0);
    std::strcpy(e.token, "12.5E+1");
    EXPECT_EQ(DecodeValueToken(7, 1), 1);
    EXPECT_EQ(e.values[1], 125.0);
    EXPECT_EQ(DecodeValueToken(7, 99), 1) << "an index past the samples stores nothing";
    EXPECT_EQ(DecodeValueToken(IMPORT_ENTRIES, 0), 0);
}

// ---------------------------------------------------------------- recording lines

TEST(RecordingLineShape, LinesOfTheInstrumentsForm) {
    EXPECT_TRUE(IsRecordingLine(EXAMPLE));
    EXPECT_TRUE(IsRecordingLine(EXAMPLE + "\r")) << "a CR before the line feed";
    EXPECT_TRUE(IsRecordingLine("0004;2;B;012.50;00001;----E+0;1.5E+12;-1.5E+0;"))
        << "missing and unusable samples are still fields";
    EXPECT_TRUE(IsRecordingLine("0003;0;1;001.00;00002;1.00E+1;2.00E+1;30.0;"))
        << "a field without marker after the first ends the samples, not the line";
}

TEST(RecordingLineShape, AnythingElseIsRefused) {
    auto with = [](std::size_t pos, char c) {
        std::string line = EXAMPLE;
        line[pos] = c;
        return line;
    };
    EXPECT_FALSE(IsRecordingLine(with(2, 'x'))) << "number";
    EXPECT_FALSE(IsRecordingLine(with(5, 'M'))) << "mode digit";
    EXPECT_FALSE(IsRecordingLine(with(7, 'G'))) << "unit digit";
    EXPECT_FALSE(IsRecordingLine(with(10, '?'))) << "coefficient";
    EXPECT_FALSE(IsRecordingLine(with(18, ' '))) << "interval";
    for (std::size_t separator : {4u, 6u, 8u, 15u, 21u})
        EXPECT_FALSE(IsRecordingLine(with(separator, '0'))) << "separator at " << separator;
    EXPECT_FALSE(IsRecordingLine("0012;1;1;001.00;00010;")) << "no field";
    EXPECT_FALSE(IsRecordingLine("0012;1;1;001.00;00010;150.0;2.50E-1;"))
        << "first field without marker";
    EXPECT_FALSE(IsRecordingLine("0012;1;1;001.00;00010;1.50E+2;2.50E-1;123456789;"))
        << "a field longer than 8";
    EXPECT_FALSE(IsRecordingLine("0012;1;1;001.00;00010;1.50E+2;2.50E-1;1234567890"))
        << "more than a field after the last separator";
    // Printable noise after a sound header, as a line cut by interference.
    std::string noise = EXAMPLE;
    std::mt19937 draw(7);
    for (int i = 0; i < 64000; ++i)
        noise += static_cast<char>(' ' + static_cast<int>(draw() % 95));
    EXPECT_FALSE(IsRecordingLine(noise));
}

TEST(RecordingLineDecoding, HeaderAndSamplesOfTheExample) {
    ImportEntry e = Decode(EXAMPLE, (static_cast<int>(EXAMPLE.size()) - 22) / 8);
    EXPECT_EQ(e.number, 12);
    EXPECT_EQ(e.mode, 1);
    EXPECT_EQ(e.unitIndex, 0);
    EXPECT_EQ(e.coefficient, 1.0);
    EXPECT_EQ(e.interval, 10);
    EXPECT_EQ(e.count, 16) << "every field decoded: the count stays the line's length - 22";
    ASSERT_EQ(e.values.size(), 17u);
    EXPECT_EQ(e.values[0], 150.0);
    EXPECT_EQ(e.values[1], 0.25);
    EXPECT_EQ(e.times[0], 0.0);
    EXPECT_EQ(e.times[1], 10.0);
}

TEST(RecordingLineDecoding, UnitDigitIsHexMinusOne) {
    auto unit = [](char digit) {
        std::string line = EXAMPLE;
        line[7] = digit;
        return Decode(line, 0).unitIndex;
    };
    EXPECT_EQ(unit('1'), 0);
    EXPECT_EQ(unit('5'), 4);
    EXPECT_EQ(unit('F'), 14);
    EXPECT_EQ(unit('f'), 14);
    EXPECT_EQ(unit('0'), 15);
    std::string line = EXAMPLE;
    line[5] = '9';
    EXPECT_EQ(Decode(line, 0).mode, 1) << "the mode keeps its low three bits";
}

TEST(RecordingLineDecoding, FieldWithoutMarkerEndsTheDecoding) {
    std::string line = "0003;0;1;001.00;00002;1.00E+1;2.00E+1;30.0;4.00E+1;";
    ImportEntry e = Decode(line, 4);
    EXPECT_EQ(e.count, 4) << "lowered to the number of fields tried";
    EXPECT_EQ(e.values[0], 10.0);
    EXPECT_EQ(e.values[1], 20.0);
    EXPECT_EQ(e.values[2], 0.0);
    EXPECT_EQ(e.values[3], 0.0) << "nothing after the failing field";
    EXPECT_EQ(e.times[1], 2.0);
    EXPECT_EQ(e.times[2], 0.0);
    EXPECT_EQ(e.times[4], 8.0) << "the failing field's time goes to index `fields`";
}

TEST(RecordingLineDecoding, EightCharactersWithoutSeparatorStillStepOn) {
    // The first field is 8 characters and its ";" is stepped over, whatever it is.
    std::string line = "0001;0;1;001.00;00001;1.2345E2X2.5E+1;";
    ImportEntry e = Decode(line, 2);
    EXPECT_EQ(e.values[0], UNDEFINED_VALUE) << "1.2345E2: digit in the sign's place";
    EXPECT_EQ(e.values[1], 25.0);
}

TEST(RecordingLineDecoding, LongestLineDecodesEveryField) {
    std::string line = "0099;0;1;001.00;00001;";
    const int fields = 8122;
    for (int k = 0; k < fields; ++k)
        line += k % 2 ? "1.23E+3;" : "4.56E-2;";
    ASSERT_EQ(line.size(), 64998u);
    ImportEntry e = Decode(line, fields);
    EXPECT_EQ(e.count, 64976);
    EXPECT_EQ(e.values[fields - 1], 1230.0);
    EXPECT_DOUBLE_EQ(e.values[fields - 2], 0.0456);
    EXPECT_EQ(e.times[fields - 1], fields - 1.0);
}

// The line is a view into a larger buffer whose following bytes are valid
// fields: a decoder that reads past the line's end would take their value.
TEST(RecordingLineDecoding, NeverReadsPastTheEndOfTheLine) {
    const std::string trap = "9.99E+9;9.99E+9;9.99E+9;9.99E+9;";
    std::mt19937 random(5150);
    const std::string alphabet = "0123456789.;E+-eX_ ";
    for (int trial = 0; trial < 3000; ++trial) {
        std::size_t n = random() % 90;
        std::string text;
        if (random() % 2) text = EXAMPLE.substr(0, std::min(n, EXAMPLE.size()));
        while (text.size() < n)
            text += alphabet[random() % alphabet.size()];
        std::string buffer = text + trap;
        RecordingLine line(buffer.data(), n);
        for (int fields : {static_cast<int>(n / 8), std::max(static_cast<int>(n) - 22, 0) / 8}) {
            ImportEntry e{};
            ParseRecordingHeader(line, &e);
            DecodeRecordingLine(line, fields, &e);
            ASSERT_GE(e.count, 0);
            ASSERT_LE(e.count, std::max(static_cast<int>(n) - 22, fields));
            for (double v : e.values)
                ASSERT_NE(v, 9.99e9) << "read past the end of \"" << text << "\"";
        }
    }
}

TEST(RecordingLineDecoding, LineShorterThanItsHeader) {
    ImportEntry e = Decode("0012;1", 0);
    EXPECT_EQ(e.number, 12);
    EXPECT_EQ(e.mode, 1);
    EXPECT_EQ(e.unitIndex, 15) << "no unit digit reads as 0";
    EXPECT_EQ(e.interval, 0);
    EXPECT_EQ(e.count, 0);
    e = Decode("0012;1;1;001.00;00010", 2);
    EXPECT_EQ(e.count, 2) << "the first empty field ends the decoding";
}

// ---------------------------------------------------------------- cleaning

TEST(Cleaning, ReplyLineKeepsItsLengthAndMarksOthers) {
    EXPECT_EQ(CleanLineText("0012;1;1;001.00;00010;1.50E+2;\r"), "0012;1;1;001.00;00010;1.50E+2;_");
    EXPECT_EQ(CleanLineText("a_b c\té"), "a_b_c___") << "é is two bytes";
    std::memset(replyBuffer, 0, sizeof replyBuffer);
    std::strcpy(replyBuffer, "0001;0;1;001.00;00001;1.0E+0;\r");
    CleanReplyLine();
    EXPECT_STREQ(cleanLine, "0001;0;1;001.00;00001;1.0E+0;_");
}

TEST(Cleaning, NamesKeepOnlyTheAllowedCharacters) {
    EXPECT_EQ(CleanName("my file(1)_x.mon"), "myfile1_x.mon");
    EXPECT_EQ(CleanName("grabación_12.mon"), "grabacin_12.mon");
    EXPECT_EQ(StripDirectoryName("/tmp/a/b.mon"), "b.mon");
    EXPECT_EQ(StripDirectoryName("C:\\DATA\\b.mon"), "b.mon");
    EXPECT_EQ(StripDirectoryName("b.mon"), "b.mon");
    EXPECT_EQ(StoredName("/home/me/my data/MY TEST.mon"), "MY_TEST.mon");
    EXPECT_EQ(StoredName("C:\\DATA\\MY TEST.VLR"), "MY_TEST.VLR");

    // The buffer routines, as the file writer uses them.
    std::memset(replyBuffer, 0, sizeof replyBuffer);
    std::strcpy(replyBuffer, "C:\\DATA\\MY_TEST (2).VLR");
    EXPECT_EQ(CleanNameText(), 20);
    EXPECT_STREQ(cleanName, "C:\\DATA\\MY_TEST2.VLR");
    StripDirectory();
    CleanNameText();
    EXPECT_STREQ(cleanName, "MY_TEST2.VLR");
}

TEST(Cleaning, LongNamesAreStrippedWhole) {
    // The directory part may be far longer than 200 characters.
    std::string path = "/" + std::string(280, 'd') + "/name.mon";
    EXPECT_EQ(StoredName(path), "name.mon");
}

// ---------------------------------------------------------------- list texts

class ImportTexts : public ::testing::Test {
  protected:
    void SetUp() override { language = 1; }
    void TearDown() override { language = 1; }
};

TEST_F(ImportTexts, HeaderInEveryLanguage) {
    EXPECT_EQ(ImportListHeader(),
              " Graph   Mode   Y Unity    Coefficient K      Scan              ");
    language = 0;
    EXPECT_EQ(ImportListHeader(),
              " Graphe   Mode   Unité des Y    Coefficient K      Scan              ");
    language = 3;
    EXPECT_EQ(ImportListHeader(),
              " Gráfico   Modo   Unidad de Y    Coeficiente K      Scan              ");
}

TEST_F(ImportTexts, RowsHaveTheColumnsWidths) {
    ImportEntry e = Decode(EXAMPLE, 2);
    EXPECT_EQ(ImportListRow(e), " 0012    SMOOTH   tr/min         1.000         10");
    e.mode = 2;
    e.unitIndex = 11;
    e.coefficient = 0.25;
    e.interval = 12345;
    e.number = 7;
    EXPECT_EQ(ImportListRow(e), " 0007    COUNT     imp .         0.250      12345");
    e.unitIndex = 2;
    e.mode = 0;
    EXPECT_EQ(ImportListRow(e), " 0007     NONE       %           0.250      12345");
    EXPECT_EQ(ImportListBlankRow(), std::string(40, ' '));
}

TEST_F(ImportTexts, UnnamedModesShowTheirDigit) {
    for (int mode = 3; mode <= 7; ++mode) {
        std::string text = ModeListText(mode);
        EXPECT_EQ(text.size(), 6u);
        EXPECT_EQ(text, std::string("   ") + char('0' + mode) + "  ");
    }
    EXPECT_EQ(ModeListText(0), " NONE ");
}

TEST_F(ImportTexts, TransferFileHasThreeLines) {
    const int date[6] = {3, 7, 2024, 9, 5, 59};
    EXPECT_EQ(TransferFileText("recording_12.mon", date, EXAMPLE),
              "recording_12.mon\n03/07/2024 09:05\n" + EXAMPLE + "\n");
}

class ImportPaths : public testsupport::AppTest {};

TEST_F(ImportPaths, ProposedNameIsLowerCaseInTheProjectDirectory) {
    language = 1;
    EXPECT_EQ(ProposedRecordingPath("/tmp/Proj", 12), "/tmp/Proj/recording_12.mon")
        << "the directory keeps its case";
    language = 0;
    EXPECT_EQ(ProposedRecordingPath("/d", 3), "/d/enregistrement_3.mon");
    language = 3;
    EXPECT_EQ(ProposedRecordingPath("/d", 3), "/d/grabación_3.mon");
    language = 1;
}

TEST_F(ImportPaths, FallbackNameNeverOverwrites) {
    EXPECT_EQ(FallbackTmpPath(dir.path(), 0x65a1b2c3), dir.file("65a1b2c3.tmp"));
    testsupport::WriteFile(dir.file("65a1b2c3.tmp"), "earlier");
    testsupport::WriteFile(dir.file("65a1b2c4.tmp"), "earlier too");
    EXPECT_EQ(FallbackTmpPath(dir.path(), 0x65a1b2c3), dir.file("65a1b2c5.tmp"));
    fs::create_symlink(dir.file("nowhere"), dir.file("65a1b2c5.tmp"));
    EXPECT_EQ(FallbackTmpPath(dir.path(), 0x65a1b2c3), dir.file("65a1b2c6.tmp"))
        << "a dangling link is a name in use too";
}

} // namespace
