// How the scales' and the alarm dialog's number fields are laid out for a curve.
#include "display/display.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(ValueFieldFormat, DecimalsFollowTheCurvesRangeAndLimitsItsValues) {
    // An ordinary curve keeps the 3 decimals it always had.
    EXPECT_EQ(ValueFieldFormatFor(100, 400).decimals, 3);
    EXPECT_EQ(ValueFieldFormatFor(-2, 5).decimals, 3);
    EXPECT_EQ(ValueFieldFormatFor(100, 400).limit, 1e7);
    // An acceleration of 0.0001 .. 0.0004: four significant digits of its span.
    EXPECT_EQ(ValueFieldFormatFor(0.0001, 0.0004).decimals, 7);
    EXPECT_EQ(ValueFieldFormatFor(0.0004, 0.0001).decimals, 7) << "either order";
    EXPECT_EQ(ValueFieldFormatFor(0.03, 0.07).decimals, 5);
    // A flat curve: digits of its value; nothing at all: the usual 3.
    EXPECT_EQ(ValueFieldFormatFor(0.0002, 0.0002).decimals, 7);
    EXPECT_EQ(ValueFieldFormatFor(0, 0).decimals, 3);
    // A narrow band far from 0 gets the digits that tell its bounds apart.
    EXPECT_EQ(ValueFieldFormatFor(1500.25, 1500.75).decimals, 4);
    // No more decimals than a double holds digits for.
    EXPECT_EQ(ValueFieldFormatFor(1e-20, 2e-20).decimals, 12);
    // A total displacement beyond the usual ±1e7 still fits, with room to type.
    const ValueFieldFormat big = ValueFieldFormatFor(0, 6.5e9);
    EXPECT_GE(big.limit, 6.5e10);
    EXPECT_EQ(big.decimals, 3);
    EXPECT_GE(ValueFieldFormatFor(-3e7, 1).limit, 3e8);
    // Nonsense leaves the defaults.
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(ValueFieldFormatFor(0, inf).decimals, 3);
    EXPECT_EQ(ValueFieldFormatFor(0, inf).limit, 1e7);
    EXPECT_EQ(ValueFieldFormatFor(std::nan(""), 1).decimals, 3);
}

} // namespace
