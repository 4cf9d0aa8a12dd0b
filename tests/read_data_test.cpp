// The reader through read_data: line forms of both calibration types, fields carried between
// lines, header columns, line pieces, line ends, experiment bounds and the capacity limits; each
// file also read by the straightforward reader, which must agree (expect_same_reading).
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

// read_text, after expect_same_reading.
ReadResult read_checked(const std::string& content) {
  expect_same_reading(content, content.substr(0, 80));
  return read_text(content);
}

const char kCalibration15[] = "Calibr 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15\n";
const char kCalibration9[] = "Calibr 1 2 3 4 5 6 7 8 9\n";

TEST(ReadDataTest, FivePointLinesFillTwoChannels) {
  ASSERT_EQ(read_checked(std::string(kCalibration15) + sample(0, 20) + sample(5, 22, 100) +
                         sample(6, 19) + "garbage line\n\n")
                .status,
            ReadStatus::ok);
  EXPECT_EQ(calibration.type, 0);
  EXPECT_EQ(calibration.position[14], 15.0L);
  ASSERT_EQ(no_entries, 2);  // the 19-number line is no sample
  EXPECT_EQ(samples.time[1], 5);
  // The incisal point is numbers 7 to 9, measured from the calibration's.
  EXPECT_EQ(samples.incisal_x[1], 100.0L);
  EXPECT_EQ(samples.incisal_z[1], 100.0L);
  EXPECT_EQ(distance_max[0][4], std::sqrt(3 * 100.0L * 100.0L));  // the second molar point
  EXPECT_EQ(samples.channel[0][1], 119.0L);                       // after three auxiliary numbers
  EXPECT_EQ(samples.channel[1][1], 120.0L);  // the 21st and 22nd numbers are ignored
  EXPECT_EQ(channel_value(2, 1), 0.0L);
  EXPECT_EQ(channel_value(3, 1), 0.0L);
  EXPECT_FALSE(sample_forms.three_point);
  EXPECT_TRUE(sample_forms.two_channels);
  EXPECT_EQ(no_tracks, 1);
  EXPECT_EQ(tracks[0].first_entry, 0);
  EXPECT_EQ(tracks[0].last_entry, 1);
}

TEST(ReadDataTest, ThreePointLinesTakeFourChannelsOrTwo) {
  ASSERT_EQ(read_checked(std::string(kCalibration9) + sample(0, 16) + sample(1, 15, 100) +
                         sample(2, 14, 200) + sample(3, 20, 300) + sample(4, 13))
                .status,
            ReadStatus::ok);
  EXPECT_EQ(calibration.type, 1);
  ASSERT_EQ(no_entries, 4);
  EXPECT_EQ(samples.channel[2][0], 15.0L);
  EXPECT_EQ(samples.channel[3][0], 16.0L);
  EXPECT_TRUE(sample_forms.three_point);
  // 15 and 14 numbers: two channels, the temporales set to 0.
  EXPECT_EQ(samples.channel[0][1], 113.0L);
  EXPECT_EQ(samples.channel[1][1], 114.0L);
  EXPECT_EQ(samples.channel[2][1], 0.0L);
  EXPECT_EQ(samples.channel[3][1], 0.0L);
  EXPECT_EQ(samples.channel[1][2], 214.0L);
  EXPECT_EQ(samples.channel[2][2], 0.0L);
  // A five-point line is a four-channel line of its first 16 numbers.
  EXPECT_EQ(samples.incisal_z[3], 300.0L);
  EXPECT_EQ(samples.channel[3][3], 316.0L);
  EXPECT_EQ(distance_max[0][3], 0.0L);  // the first molar point: no line carried it
}

TEST(ReadDataTest, FieldsAFormDoesNotCarryKeepEarlierValues) {
  // Points 4 and 5 of a five-point line stay in every later three-point sample; the calibration
  // shares the working record, so a 9-number calibration line keeps them from that sample.
  ASSERT_EQ(read_checked(std::string(kCalibration15) + sample(0, 20, 100) + kCalibration9 +
                         sample(0, 16, 200))
                .status,
            ReadStatus::ok);
  EXPECT_EQ(calibration.type, 1);
  EXPECT_EQ(calibration.position[9], 110.0L);
  EXPECT_EQ(calibration.position[0], 1.0L);
  ASSERT_EQ(no_entries, 2);
  EXPECT_TRUE(sample_forms.three_point);
  // The three-point sample's molar points are the five-point sample's, as are the calibration's.
  EXPECT_EQ(distance_max[1][3], 0.0L);
  EXPECT_EQ(distance_max[1][4], 0.0L);
  EXPECT_EQ(distance_max[1][0], std::sqrt(3 * 200.0L * 200.0L));
  EXPECT_EQ(samples.channel[2][1], 215.0L);
  EXPECT_EQ(samples.channel[2][0], 0.0L);
}

TEST(ReadDataTest, ALineThatFailsItsFormWritesNothing) {
  // The 12-number calibration line is read as type 1; its numbers 10 to 12 go nowhere.
  ASSERT_EQ(read_checked("Calibr 1 2 3 4 5 6 7 8 9 10 11 12\n" + sample(0, 13, 50) + sample(0, 14))
                .status,
            ReadStatus::ok);
  EXPECT_EQ(calibration.type, 1);
  EXPECT_EQ(calibration.position[8], 9.0L);
  EXPECT_EQ(calibration.position[9], 0.0L);
  ASSERT_EQ(no_entries, 1);
  EXPECT_EQ(samples.channel[0][0], 13.0L);
}

TEST(ReadDataTest, UnreadableCalibrationEndsTheRead) {
  for (const char* line :
       {"Calibr 1 2 3 4 5 6 7 8\n", "Calibration 1 2 3 4 5 6 7 8 9\n", "Calibr\n"}) {
    EXPECT_EQ(read_checked(sample(0, 20) + line + sample(1, 20)).status,
              ReadStatus::calibration_error)
        << line;
  }
  // Without a calibration line the five-point form is read with an all-zero calibration.
  ASSERT_EQ(read_checked(sample(0, 20)).status, ReadStatus::ok);
  EXPECT_EQ(calibration.type, 0);
  EXPECT_EQ(calibration.position[0], 0.0L);
  EXPECT_EQ(no_entries, 1);
}

// Header values as they follow their keyword (one separator character after it, four after
// "Frequency"), cut to 255 characters, a "\r\n" read as "\n"; `entries` samples besides.
TEST(ReadDataTest, HeaderValuesStartAtTheirColumns) {
  const std::string all =
      "Person:Jane Doe\nSex f\nBorn: 1.2.1980\nCreation date: 3.4.2026\n"
      "Frequency:   1000\nPersonXnew value\nFrequency   1000\nBorn\n";
  const std::string crlf = "Person A\r\nSex B\rC\n" + sample(0, 20);
  struct Case {
    std::string content;
    const char* text;
    std::string expected;
    int entries;
  };
  const Case cases[] = {
      {all, person, "new value\n", 0},  // a later line replaces, any separator character
      {all, sex, "f\n", 0},
      {all, creation, " 3.4.2026\n", 0},
      {all, born, "", 0},            // the line ends before the value column
      {all, frequency, "000\n", 0},  // three characters after the keyword lose a digit
      {"Frequency:   1000\n", frequency, "1000\n", 0},
      {"Sex " + std::string(300, 'a') + "\n", sex, std::string(255, 'a'), 0},
      // Longer than a piece: 255 characters kept, the remainder skipped as text.
      {"Person " + std::string(3000, 'p') + "\n" + sample(0, 20), person, std::string(255, 'p'), 1},
      // Exactly 2047 characters and the newline: the newline alone is the next (empty) piece.
      {"Sex " + std::string(kLinePiece - 4, 's') + "\r\n" + sample(0, 20), sex,
       std::string(255, 's'), 1},
      {crlf, person, "A\n", 1},
      {crlf, sex, "B\rC\n", 1},
      // A 2046-character line ending in "\r\n" is one piece.
      {"Born " + std::string(2046 - 5, 'b') + "\r\nSex x\r\n", sex, "x\n", 0},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(read_checked(c.content).status, ReadStatus::ok) << c.expected;
    EXPECT_EQ(std::string(c.text), c.expected);
    EXPECT_EQ(no_entries, c.entries) << c.expected;
    EXPECT_EQ(no_tracks, c.entries) << c.expected;  // each sample opens an experiment
  }
}

TEST(ReadDataTest, LinesLongerThan2047CharactersAreSplitIntoPieces) {
  // The first piece is a sample of time 0; the rest of the line, from character 2048 on, is a
  // sample line of its own.
  std::string first = sample(0, 20);
  first.pop_back();
  first += std::string(kLinePiece - first.size(), ' ');
  ASSERT_EQ(read_checked(first + sample(7, 20, 10)).status, ReadStatus::ok);
  ASSERT_EQ(no_entries, 2);
  EXPECT_EQ(samples.time[1], 7);
  EXPECT_EQ(samples.incisal_x[1], 17.0L);
}

TEST(ReadDataTest, ExperimentBoundsFollowTimeZero) {
  ASSERT_EQ(read_checked(sample(5, 20) + sample(6, 20) + sample(0, 20) + sample(-3, 20) +
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

  ASSERT_EQ(read_checked(sample(1, 20) + sample(2, 20)).status, ReadStatus::ok);
  EXPECT_EQ(no_tracks, 0);
  EXPECT_EQ(no_entries, 2);
}

TEST(ReadDataTest, NumbersConvertAsScanfConvertsThem) {
  // Odd spellings in the incisal point's place (numbers 7 to 9, measured from a zero calibration)
  // and in the EMG's.
  const std::string before = " 1 2 3 4 5 6 ", after = " 10 11 12 13 14 15 16 17 18 ";
  ASSERT_EQ(read_checked("0" + before + "+1.5 .5 5." + after + "19 20abc\n" +  //
                         "1" + before + "1e3 nan inf" + after + "1e-4950 -0\n" + "2" + before +
                         "0x1p3 -0 1e-4950" + after + "19 20\n" +
                         "3 1.5abc 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20\n")
                .status,
            ReadStatus::ok);
  ASSERT_EQ(no_entries, 3);  // the last line stops short at "abc"
  EXPECT_EQ(samples.incisal_x[0], 1.5L);
  EXPECT_EQ(samples.incisal_y[0], 0.5L);
  EXPECT_EQ(samples.incisal_z[0], 5.0L);
  EXPECT_EQ(samples.channel[1][0], 20.0L);  // conversion stops before "abc"
  EXPECT_EQ(samples.incisal_x[1], 1000.0L);
  EXPECT_TRUE(std::isnan(samples.incisal_y[1]));
  EXPECT_TRUE(std::isinf(samples.incisal_z[1]));
  EXPECT_GT(samples.channel[0][1], 0.0L);  // a denormal of the extended format
  EXPECT_TRUE(std::signbit(samples.channel[1][1]));
  EXPECT_EQ(samples.incisal_x[2], 8.0L);
  EXPECT_TRUE(std::signbit(samples.incisal_y[2]));
  EXPECT_GT(samples.incisal_z[2], 0.0L);
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
