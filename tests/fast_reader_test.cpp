// The reader against the straightforward reader that reads a character at a time and converts
// every number with sscanf (expect_same_reading): same status and store, bit for bit, for odd
// lines, odd numbers, repeated conversions and positions, blocks cut short and random files.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "support/test_support.h"

namespace {

std::string numbers(int count, const char* each = "1.25") {
  std::string line = "0";
  for (int k = 0; k < count; ++k) line += std::string(" ") + each;
  return line;
}

TEST(FastReaderTest, OddLinesAgreeWithTheReference) {
  const std::string five = numbers(20), three = numbers(16), two = numbers(14);
  const std::string cases[] = {
      "",
      five,  // no final newline
      five + "\r\n" + five + "\r" + five + "\r\r\n" + five + "\n\r",
      "Person x\r\nSex\r\nBorn y\rz\n" + five + "\n",
      five + std::string(1, '\0') + "7 8\n" + five + "\n",
      numbers(19) + "\n" + numbers(21) + "\n" + five + " tail\n" + five + "abc\n",
      "Calibr 1 2 3 4 5 6 7 8 9\n" + three + "\n" + numbers(15) + "\n" + two + "\n" + numbers(13) +
          "\n" + five + "\n" + numbers(15, "2.5e1") + "\n" + numbers(14, "nan") + "\n",
      "Calibr 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15\n" + five + "\nCalibr 1 2 3 4 5 6 7 8 9\n" +
          three + "\n",
      numbers(20, "+1.5") + "\n" + numbers(20, ".5") + "\n" + numbers(20, "5.") + "\n" +
          numbers(20, "1e3") + "\n" + numbers(20, "inf") + "\n" + numbers(20, "0x1p3") + "\n" +
          numbers(20, "1e5000") + "\n" + numbers(20, "1e-4940") + "\n" + numbers(20, "1e") + "\n" +
          numbers(20, "1.5abc") + "\n" + numbers(20, "1,5") + "\n",
      "99999999999999999999 " + numbers(20) + "\n-5 " + numbers(20) + "\n0.5" + numbers(20) + "\n",
      std::string(2046, ' ') + "\n" + std::string(2047, 'x') + "\n" + std::string(2048, 'y') +
          "\n" + std::string(10000, '7') + "\n",
      five + std::string(2047 - five.size(), ' ') + five + "\n",
      five + std::string(2046 - five.size(), ' ') + "\r\n" + five + "\n",
      "\t" + five + "\t\n \v" + five + "\n\f" + five + "\n",
      "Frequency:   1000\n" + std::string(300, 'P') + "\nPerson " + std::string(300, 'n') + "\n",
      // Calibration lines after samples: the last is every sample's reference, also where it
      // repeats an earlier one or comes after the last sample.
      five + "\n" + numbers(20, "2.5") + "\nCalibr 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15\n" + five +
          "\nCalibr 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15\n" + numbers(20, "-1") +
          "\nCalibr 9 8 7 6 5 4 3 2 1\n" + three + "\n" + numbers(20, "nan") + "\n",
      "Calibr 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15\n" + five + "\n" + five +
          "\nCalibr 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15\n",
  };
  int n = 0;
  for (const std::string& content : cases)
    expect_same_reading(content, "case " + std::to_string(n++));
}

// Every spelling the general scanner decides, in each place of a line of both forms, as a time
// stamp, in a calibration line and between unusual separators.
TEST(FastReaderTest, OddNumbersAgreeWithTheReference) {
  const char* spellings[] = {
      // numbers, some cut short: the rest goes on as the next number or ends the line
      "1.5abc", "1,5", "+1.5", ".5", "5.", "-0", "1e3", "1E-3", "1e", "1e+", "1e+x", "1e5.3", "0x.",
      "0x.p1", "0x1p3", "0X1.8P-1", "0x1p", "nan", "-NaN", "nan(12)", "nan(", "inf", "-Infinity",
      "infx", "1e5000", "1e-5000", "3.6e-4951", "12345678901234567890123",
      "0.12345678901234567890123",
      // no number
      "-", "+", ".", "+-1", "0x", "infinit",
      // time stamps beyond 64 bits or not decimal, numbers behind unusual white space
      "9223372036854775808", "-9223372036854775809", "0x10", "\v7", "\f7", "\r7", "7\r"};
  for (const char* odd : spellings) {
    std::string content;
    for (int form = 0; form < 2; ++form) {
      content +=
          form == 0 ? "Calibr 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15\n" : "Calibr 1 2 3 4 5 6 7 8 9\n";
      const int count = form == 0 ? 20 : 16;
      content += std::string(odd) + numbers(count).substr(1) + "\n";  // as the time stamp
      for (int at : {0, 7, 13, 14, 15, 19}) {
        std::string line = "5";
        for (int k = 0; k < count; ++k)
          line += std::string(k % 3 == 0 ? "\t" : " ") + (k == at ? odd : "2.5");
        content += line + "\n" + line + " 1\n";
      }
      content +=
          "0" + std::string(" ") + odd + " \v1 \f2 \r3" + numbers(count - 4).substr(1) + "\r\n";
    }
    content +=
        std::string("Calibr ") + odd + " 1 2 3 4 5 6 7 8 9 10 11 12 13 14\n" + numbers(20) + "\n";
    content += std::string("Calibr 1 2 3 4 5 6 7 8 ") + odd + " 10 11\n" + numbers(16) + "\n";
    expect_same_reading(content, odd);
  }
}

// The general scanner remembers conversions of short texts: many distinct ones sharing its
// slots, repeated in another order, long ones past what it remembers, and texts that convert to
// nothing.
TEST(FastReaderTest, RepeatedConversionsAgreeWithTheReference) {
  std::string content = "Calibr 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15\n";
  for (int round = 0; round < 2; ++round) {
    for (int k = 0; k < 1500; ++k) {
      const int key = round == 0 ? k : (k * 7919) % 1500;
      std::string line = std::to_string(k % 500);
      for (int field = 0; field < 20; ++field) {
        const int v = key + field * 31;
        if (k % 100 == 0 && field == 5)
          line += " 1" + std::string(70, '0') + "e-4990";
        else if (k % 17 == 0 && field == 19)
          line += " .e";
        else
          line += " " + std::to_string(v % 997) + ".5e-" + std::to_string(4900 + v % 60);
      }
      content += line + "\n";
    }
  }
  expect_same_reading(content, "repeated conversions");
}

// Positions repeated from line to line are measured once; lines between two with the same
// positions (a damaged one that got some numbers in, a header, a new calibration, a line of the
// other form, a position written differently or by the general scanner) must not let that stand.
TEST(FastReaderTest, RepeatedPositionsAgreeWithTheReference) {
  std::mt19937 random(4242);
  const char* spellings[] = {"1.5", "1.50", "+1.5", "01.5", "15e-1", "-1.5", "-0", "0", "nan"};
  for (int file = 0; file < 20; ++file) {
    std::string content =
        file % 2 ? "Calibr 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15\n" : "Calibr 1 2 3 4 5 6 7 8 9\n";
    std::string position[15];
    for (std::string& p : position) p = spellings[random() % 3];
    for (int line = 0; line < 300; ++line) {
      if (random() % 4 == 0) position[random() % 15] = spellings[random() % 9];
      std::string text = std::to_string(line % 50);
      for (const std::string& p : position) text += " " + p;
      text += " 0 0 0 " + std::to_string(random() % 100) + ".5 -2.25\n";
      switch (random() % 12) {
        case 0:  // damaged: every position in, then no EMG
          content += "7";
          for (int k = 0; k < 15; ++k) content += " 2." + std::to_string(k);
          content += " x\n";
          break;
        case 1:
          content += "Person somebody\n";
          break;
        case 2:
          content += "Calibr 1 2 3 4 5 6 7 8 9 10 11 12 13 14 " + std::to_string(line) + "\n";
          break;
        case 3:
          content += "Calibr 9 8 7 6 5 4 3 2 1\n";
          break;
        default:
          break;
      }
      content += text;
    }
    expect_same_reading(content, "repeated positions " + std::to_string(file));
  }
}

// Sample lines are read where they lie in the reader's block. A file of many blocks whose last
// line has no newline, whole or cut short (inside a number, after one, after the time stamp): the
// last block is shorter than those before it, and what they left behind it must not be read as
// the rest of the line.
TEST(FastReaderTest, ALastLineCutShortAfterFullBlocksAgreesWithTheReference) {
  struct Form {
    const char* calibration;
    int numbers;
    const char* line_end;
  };
  const Form forms[] = {{"Calibr 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15\n", 20, "\n"},
                        {"Calibr 1 2 3 4 5 6 7 8 9\n", 16, "\r\n"}};
  for (const Form& form : forms) {
    std::string line;
    for (int k = 0; k < form.numbers; ++k) line += " " + std::to_string(k) + ".25";
    std::string body = form.calibration;
    for (int n = 0; body.size() < 300000; ++n)
      body += std::to_string(n % 1000) + line + form.line_end;
    const std::string cuts[] = {
        "17",
        "17 0.25",
        "17" + line.substr(0, line.size() - 3),  // inside the last number
        "17" + line.substr(0, line.rfind(' ')),  // all but the last number
        "17" + line,                             // whole, only the newline missing
    };
    for (const std::string& cut : cuts)
      expect_same_reading(body + cut, std::to_string(form.numbers) + " numbers, cut at: " + cut);
  }
}

TEST(FastReaderTest, RandomLinesAgreeWithTheReference) {
  const char* pieces[] = {"0",    "1",    "12", "3.5",     "-",         "+",   ".",  "e",
                          "E5",   " ",    " ",  " ",       "\t",        "\r",  "\n", "\n",
                          "x",    "nan",  "0x", "Calibr ", "99",        ".25", "-0", "007",
                          "1e-3", "\r\n", ",",  "inf",     "9999999999"};
  std::mt19937 random(777);
  for (int file = 0; file < 30; ++file) {
    std::string content = file % 3 == 0 ? "Calibr 1 2 3 4 5 6 7 8 9\n" : "";
    for (int line = 0; line < 400; ++line) {
      // Mostly lines of the right shape, with a random piece here and there.
      int count = 14 + static_cast<int>(random() % 8);
      content += random() % 5 == 0 ? "0" : std::to_string(random() % 1000);
      for (int k = 0; k < count; ++k) {
        content += random() % 8 == 0 ? pieces[random() % (sizeof pieces / sizeof *pieces)] : " ";
        content += std::to_string(static_cast<int>(random() % 2000) - 1000) +
                   (random() % 2 ? "." + std::to_string(random() % 100) : "");
      }
      content += random() % 10 == 0 ? "\r\n" : "\n";
    }
    expect_same_reading(content, "random file " + std::to_string(file));
  }
}

TEST(FastReaderTest, ShippedRecordingsAgreeWithTheReference) {
  int count = 0;
  for (const auto& item : std::filesystem::directory_iterator(source_path("examples"))) {
    if (item.path().extension() != ".txt" ||
        item.path().string().find("_output") != std::string::npos)
      continue;
    expect_same_reading(read_file(item.path().string()), item.path().string());
    ++count;
  }
  EXPECT_GT(count, 0);
}

}  // namespace
