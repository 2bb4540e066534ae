#include "readers/field_readers.hpp"

#include <gtest/gtest.h>

#include <string>

namespace quorvel {
namespace {

std::string padded(std::string s, std::size_t n = 80) {
  s.resize(n, ' ');
  return s;
}

TEST(Charead, TakesTheValueAndItsDelimiter) {
  TextField f = charead("ile name", padded("Data file name =xyz.dat rest"), "= ");
  EXPECT_EQ(f.ierr, 0);
  EXPECT_EQ(f.value, padded("xyz.dat ", 50));
  EXPECT_EQ(charead("ile name", padded("Data file name = xyz.dat"), "= ").ierr, 3);
  EXPECT_EQ(charead("nothing", padded("Data file name =x"), "= ").ierr, 1);
  EXPECT_EQ(charead("name", padded("Data file name x"), "= ").ierr, 2);
  // A value that runs to the end of the text without its closing delimiter.
  EXPECT_EQ(charead("name", "name =abc", "= ").ierr, 3);
}

TEST(Numread, ReadsBySignBlanksAndDigitCount) {
  struct Case {
    const char* text;
    int ierr;
    int value;
  } cases[] = {
      {"Column Number =  12 *", 0, 12},  // two blanks after "=" are skipped
      {"Column Number =   12 *", 3, 0},  // three are not
      {"Column Number = -5 ", 0, -5},
      {"Column Number = 1.5 ", 6, 0},  // a point among the digits
      {"Column Number = 1x ", 6, 0},
      {"Column Number = 1*end = 0 ", 6, 0},  // a value run into the next segment
      {"Column Number = --5 ", 6, 0},
      {"Column Number = 12345x78 ", 4, 0},  // the length is checked first
      {"Column Number = 1234567 ", 0, 1234567},
      {"Column Number = 12345678 ", 4, 0},
      {"Column Number = ", 3, 0},
  };
  for (const Case& c : cases) {
    IntField f = numread("umber", padded(c.text), "= ", 0);
    EXPECT_EQ(f.ierr, c.ierr) << c.text;
    if (c.ierr == 0) {
      EXPECT_EQ(f.value, c.value) << c.text;
    }
  }
  EXPECT_EQ(numread("R", padded("prewhite with AR(12) "), "()", 0).value, 12);
  // The first occurrence of the key wins, even when its delimiter is far away.
  EXPECT_EQ(numread("R", padded("Run label here, prewhite AR(3) "), "()", 0).value, 3);
  EXPECT_EQ(numread("R", padded("Rate (7) prewhite AR(3) "), "()", 0).value, 7);
}

TEST(Rnumread, ReadsPointDigitsAndLimits) {
  struct Case {
    const char* text;
    int ierr;
    float value;
  } cases[] = {
      {"threshold = 0.05 ", 0, 0.05f},
      {"threshold = .5 ", 0, 0.5f},
      {"threshold = 5. ", 0, 5.0f},
      {"threshold = -2.25 ", 0, -2.25f},
      {"threshold = 0.123456 ", 0, 0.123456f},
      {"threshold = 0.1234567 ", 5, 0},
      {"threshold = 0.123456789 ", 3, 0},
      {"threshold = 12345678.0 ", 5, 0},
      {"threshold = 5 ", 4, 0},
      {"threshold = 5 width = 2.0 ", 5, 0},  // the point of a later value is found
      {"threshold = 5 w = 2.0 ", 6, 0},      // ... but the characters before it are no digits
      {"threshold = 1a.5 ", 6, 0},
      {"threshold = 1.5x ", 6, 0},
      {"threshold = 0.8\t* ", 6, 0},  // a tab is no delimiter
      {"threshold = 0.5* ", 6, 0},
      {"threshold = 1.5.2 ", 6, 0},
      {"threshold = 1x.1234567 ", 5, 0},  // the digit counts are checked first
  };
  for (const Case& c : cases) {
    RealField f = rnumread("hreshold", padded(c.text), "= ", 0);
    EXPECT_EQ(f.ierr, c.ierr) << c.text;
    if (c.ierr == 0 && c.value != 0) {
      EXPECT_EQ(f.value, c.value) << c.text;
    }
  }
  EXPECT_EQ(rnumread("x", padded("x (2.5)"), "()", 0).value, 2.5f);
  EXPECT_EQ(rnumread("x", padded("x (2.)"), "()", 0).ierr, 3);
  EXPECT_EQ(rnumread("x", padded("x (2.a)"), "()", 0).ierr, 6);
}

TEST(Number, ConvertsUpToSevenCharacters) {
  int v = -1;
  number("0012", 4, v);
  EXPECT_EQ(v, 12);
  number("99999999", 8, v);  // never asked for: the value stays
  EXPECT_EQ(v, 12);
}

}  // namespace
}  // namespace quorvel
