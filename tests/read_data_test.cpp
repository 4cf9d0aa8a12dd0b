// The reader: line forms of both calibration types, fields carried between lines, header
// columns, line pieces, line ends, experiment bounds and the capacity limits.
#include "recording/read_data.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <string>

#include "recording/store.h"
#include "support/test_support.h"

namespace {

// "t v1 v2 ... vn\n" with v_k = base + k.
std::string sample(long long time, int count, int base = 0) {
  std::string line = std::to_string(time);
  for (int k = 1; k <= count; ++k) line += " " + std::to_string(base + k);
  return line + "\n";
}

const char kCalibration15[] = "Calibr 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15\n";
const char kCalibration9[] = "Calibr 1 2 3 4 5 6 7 8 9\n";

TEST(ReadDataTest, FivePointLinesFillTwoChannels) {
  ASSERT_EQ(read_text(std::string(kCalibration15) + sample(0, 20) + sample(5, 22, 100) +
                      sample(6, 19) + "garbage line\n\n")
                .status,
            ReadStatus::ok);
  EXPECT_EQ(calibration.type, 0);
  EXPECT_EQ(calibration.UK6_2_z, 15.0L);
  ASSERT_EQ(no_entries, 2);  // the 19-number line is no sample
  const Entry& e = entries[1];
  EXPECT_EQ(e.time, 5);
  EXPECT_EQ(e.Right_x, 101.0L);
  EXPECT_EQ(e.UK6_2_z, 115.0L);
  EXPECT_EQ(e.Aux1, 116.0L);
  EXPECT_EQ(e.Aux3, 118.0L);
  EXPECT_EQ(e.Channel1, 119.0L);
  EXPECT_EQ(e.Channel2, 120.0L);  // the 21st and 22nd numbers are ignored
  EXPECT_EQ(e.Channel3, 0.0L);
  EXPECT_EQ(e.Channel4, 0.0L);
  EXPECT_EQ(no_tracks, 1);
  EXPECT_EQ(tracks[0].first_entry, 0);
  EXPECT_EQ(tracks[0].last_entry, 1);
}

TEST(ReadDataTest, ThreePointLinesTakeFourChannelsOrTwo) {
  ASSERT_EQ(read_text(std::string(kCalibration9) + sample(0, 16) + sample(1, 15, 100) +
                      sample(2, 14, 200) + sample(3, 20, 300) + sample(4, 13))
                .status,
            ReadStatus::ok);
  EXPECT_EQ(calibration.type, 1);
  ASSERT_EQ(no_entries, 4);
  EXPECT_EQ(entries[0].Channel3, 15.0L);
  EXPECT_EQ(entries[0].Channel4, 16.0L);
  EXPECT_EQ(entries[0].type, 1);
  // 15 and 14 numbers: two channels, the temporales set to 0.
  EXPECT_EQ(entries[1].Channel1, 113.0L);
  EXPECT_EQ(entries[1].Channel2, 114.0L);
  EXPECT_EQ(entries[1].Channel3, 0.0L);
  EXPECT_EQ(entries[1].Channel4, 0.0L);
  EXPECT_EQ(entries[2].Channel2, 214.0L);
  EXPECT_EQ(entries[2].Channel3, 0.0L);
  // A five-point line is a four-channel line of its first 16 numbers.
  EXPECT_EQ(entries[3].Incisal_z, 309.0L);
  EXPECT_EQ(entries[3].Aux1, 310.0L);
  EXPECT_EQ(entries[3].Channel4, 316.0L);
  EXPECT_EQ(entries[3].UK6_1_x, 0.0L);
}

TEST(ReadDataTest, FieldsAFormDoesNotCarryKeepEarlierValues) {
  // Points 4 and 5 of a five-point line stay in every later three-point sample; the calibration
  // shares the working record, so a 9-number calibration line keeps them from that sample.
  ASSERT_EQ(read_text(std::string(kCalibration15) + sample(0, 20, 100) + kCalibration9 +
                      sample(0, 16, 200))
                .status,
            ReadStatus::ok);
  EXPECT_EQ(calibration.type, 1);
  EXPECT_EQ(calibration.UK6_1_x, 110.0L);
  EXPECT_EQ(calibration.Right_x, 1.0L);
  ASSERT_EQ(no_entries, 2);
  EXPECT_EQ(entries[0].type, 0);
  EXPECT_EQ(entries[1].type, 1);
  EXPECT_EQ(entries[1].UK6_1_x, 110.0L);
  EXPECT_EQ(entries[1].UK6_2_z, 115.0L);
  EXPECT_EQ(entries[1].Channel3, 215.0L);
  EXPECT_EQ(entries[0].Channel3, 0.0L);
}

TEST(ReadDataTest, ALineThatFailsItsFormWritesNothing) {
  // The 12-number calibration line is read as type 1; its numbers 10 to 12 go nowhere.
  ASSERT_EQ(
      read_text("Calibr 1 2 3 4 5 6 7 8 9 10 11 12\n" + sample(0, 13, 50) + sample(0, 14)).status,
      ReadStatus::ok);
  EXPECT_EQ(calibration.type, 1);
  EXPECT_EQ(calibration.Incisal_z, 9.0L);
  EXPECT_EQ(calibration.UK6_1_x, 0.0L);
  ASSERT_EQ(no_entries, 1);
  EXPECT_EQ(entries[0].Right_x, 1.0L);
}

TEST(ReadDataTest, UnreadableCalibrationEndsTheRead) {
  for (const char* line :
       {"Calibr 1 2 3 4 5 6 7 8\n", "Calibration 1 2 3 4 5 6 7 8 9\n", "Calibr\n"}) {
    EXPECT_EQ(read_text(sample(0, 20) + line + sample(1, 20)).status, ReadStatus::calibration_error)
        << line;
  }
  // Without a calibration line the five-point form is read with an all-zero calibration.
  ASSERT_EQ(read_text(sample(0, 20)).status, ReadStatus::ok);
  EXPECT_EQ(calibration.type, 0);
  EXPECT_EQ(calibration.Right_x, 0.0L);
  EXPECT_EQ(no_entries, 1);
}

TEST(ReadDataTest, HeaderValuesStartAtTheirColumns) {
  // One separator character after the keyword, four after "Frequency".
  ASSERT_EQ(read_text("Person:Jane Doe\nSex f\nBorn: 1.2.1980\nCreation date: 3.4.2026\n"
                      "Frequency:   1000\nPersonXnew value\nFrequency   1000\nBorn\n")
                .status,
            ReadStatus::ok);
  EXPECT_STREQ(person, "new value\n");  // a later line replaces, any separator character
  EXPECT_STREQ(sex, "f\n");
  EXPECT_STREQ(creation, " 3.4.2026\n");
  EXPECT_STREQ(born, "");            // the line ends before the value column
  EXPECT_STREQ(frequency, "000\n");  // three characters after the keyword lose a digit
  EXPECT_EQ(no_entries, 0);
  EXPECT_EQ(no_tracks, 0);

  ASSERT_EQ(read_text("Frequency:   1000\n").status, ReadStatus::ok);
  EXPECT_STREQ(frequency, "1000\n");
}

TEST(ReadDataTest, LongHeaderValueIsCutTo255Characters) {
  const std::string value(300, 'a');
  ASSERT_EQ(read_text("Sex " + value + "\n").status, ReadStatus::ok);
  EXPECT_EQ(std::string(sex), value.substr(0, 255));
}

TEST(ReadDataTest, LinesLongerThan2047CharactersAreSplitIntoPieces) {
  // The first piece is a sample of time 0; the rest of the line, from character 2048 on, is a
  // sample line of its own.
  std::string first = sample(0, 20);
  first.pop_back();
  first += std::string(kLinePiece - first.size(), ' ');
  ASSERT_EQ(read_text(first + sample(7, 20, 10)).status, ReadStatus::ok);
  ASSERT_EQ(no_entries, 2);
  EXPECT_EQ(entries[1].time, 7);
  EXPECT_EQ(entries[1].Right_x, 11.0L);

  // A header longer than a piece keeps 255 characters; its remainder is skipped as text.
  ASSERT_EQ(read_text("Person " + std::string(3000, 'p') + "\n" + sample(0, 20)).status,
            ReadStatus::ok);
  EXPECT_EQ(std::string(person), std::string(255, 'p'));
  EXPECT_EQ(no_entries, 1);

  // Exactly 2047 characters and the newline: the newline alone is the next (empty) piece.
  std::string exact = "Sex " + std::string(kLinePiece - 4, 's');
  ASSERT_EQ(read_text(exact + "\r\n" + sample(0, 20)).status, ReadStatus::ok);
  EXPECT_EQ(std::string(sex), std::string(255, 's'));
  EXPECT_EQ(no_entries, 1);
}

TEST(ReadDataTest, CarriageReturnBeforeNewlineIsNoPartOfTheLine) {
  ASSERT_EQ(read_text("Person A\r\nSex B\rC\n" + sample(0, 20)).status, ReadStatus::ok);
  EXPECT_STREQ(person, "A\n");
  EXPECT_STREQ(sex, "B\rC\n");
  // A 2046-character line ending in "\r\n" is one piece.
  std::string line = "Born " + std::string(2046 - 5, 'b');
  ASSERT_EQ(read_text(line + "\r\nSex x\r\n").status, ReadStatus::ok);
  EXPECT_STREQ(sex, "x\n");
}

TEST(ReadDataTest, ExperimentBoundsFollowTimeZero) {
  ASSERT_EQ(read_text(sample(5, 20) + sample(6, 20) + sample(0, 20) + sample(-3, 20) +
                      sample(0, 20) + sample(0, 20) + sample(4, 20) + sample(2, 20))
                .status,
            ReadStatus::ok);
  EXPECT_EQ(no_entries, 8);  // the two samples before the first experiment are stored
  ASSERT_EQ(no_tracks, 3);
  EXPECT_EQ(tracks[0].first_entry, 2);
  EXPECT_EQ(tracks[0].last_entry, 3);
  EXPECT_EQ(tracks[1].first_entry, 4);  // one-sample experiment
  EXPECT_EQ(tracks[1].last_entry, 4);
  EXPECT_EQ(tracks[2].first_entry, 5);
  EXPECT_EQ(tracks[2].last_entry, 7);

  ASSERT_EQ(read_text(sample(1, 20) + sample(2, 20)).status, ReadStatus::ok);
  EXPECT_EQ(no_tracks, 0);
  EXPECT_EQ(no_entries, 2);
}

TEST(ReadDataTest, NumbersConvertAsScanfConvertsThem) {
  ASSERT_EQ(read_text("0 +1.5 .5 5. 1e3 nan inf 0x1p3 -0 1e-4950 9 10 11 12 13 14 15 16 17 18 "
                      "20abc\n1 1.5abc 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20\n")
                .status,
            ReadStatus::ok);
  ASSERT_EQ(no_entries, 1);
  const Entry& e = entries[0];
  EXPECT_EQ(e.Right_x, 1.5L);
  EXPECT_EQ(e.Right_y, 0.5L);
  EXPECT_EQ(e.Right_z, 5.0L);
  EXPECT_EQ(e.Left_x, 1000.0L);
  EXPECT_TRUE(std::isnan(e.Left_y));
  EXPECT_TRUE(std::isinf(e.Left_z));
  EXPECT_EQ(e.Incisal_x, 8.0L);
  EXPECT_TRUE(std::signbit(e.Incisal_y));
  EXPECT_GT(e.Incisal_z, 0.0L);  // a denormal of the extended format
  EXPECT_EQ(e.Channel2, 20.0L);  // conversion stops before "abc"
}

std::string samples(int count, int experiments) {
  std::string text;
  const std::string zero = sample(0, 20), one = sample(1, 20);
  for (int i = 0; i < count; ++i) text += i < experiments ? zero : one;
  return text;
}

TEST(ReadDataTest, CapacityLimits) {
  EXPECT_EQ(read_text(samples(kMaxEntries, kMaxTracks)).status, ReadStatus::ok);
  EXPECT_EQ(no_entries, kMaxEntries);
  EXPECT_EQ(no_tracks, kMaxTracks);
  EXPECT_EQ(tracks[17].first_entry, 17);
  EXPECT_EQ(tracks[17].last_entry, kMaxEntries - 1);

  EXPECT_EQ(read_text(samples(kMaxEntries + 1, 1)).status, ReadStatus::too_many_entries);
  EXPECT_EQ(no_entries, kMaxEntries);
  EXPECT_EQ(read_text(samples(kMaxTracks + 1, kMaxTracks + 1)).status, ReadStatus::too_many_tracks);
  EXPECT_EQ(no_tracks, kMaxTracks);
  reset_store();
}

TEST(ReadDataTest, FilesThatCannotBeRead) {
  reset_store();
  TempDir dir;
  ReadResult missing = read_data(dir.file("missing.txt").c_str());
  EXPECT_EQ(missing.status, ReadStatus::cannot_open);
  EXPECT_EQ(missing.sys_errno, ENOENT);
  ReadResult folder = read_data(dir.path().c_str());
  EXPECT_EQ(folder.status, ReadStatus::read_error);
  EXPECT_EQ(folder.sys_errno, EISDIR);
  EXPECT_EQ(no_entries, 0);
}

}  // namespace
