#include <gtest/gtest.h>

#include "cryptograph.h"
#include "qvErrors.h"

namespace {

std::string Parities(const std::string& digits)
{
    std::string out;
    for (char c : digits) out += ((c - '0') % 2) ? '1' : '0';
    return out;
}

TEST(Cryptograph, LetterAScramblesToDigitsOfItsBitParities)
{
    for (int round = 0; round < 20; ++round) {
        std::string digits = ScrambleText("A");
        ASSERT_EQ(digits.size(), 8u);
        EXPECT_EQ(Parities(digits), "01000001");
        EXPECT_EQ(digits.find('9'), std::string::npos);
        EXPECT_EQ(UnscrambleText(digits), "A");
    }
}

TEST(Cryptograph, RoundTripOfEveryByteAndRandomness)
{
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    std::string first = ScrambleText(all);
    EXPECT_EQ(first.size(), 256u * 8);
    EXPECT_EQ(UnscrambleText(first), all);
    EXPECT_NE(first, ScrambleText(all)) << "the same text scrambles differently on each call";
    EXPECT_EQ(ScrambleText(""), "");
    EXPECT_EQ(UnscrambleText(""), "");
}

TEST(Cryptograph, BitConversions)
{
    EXPECT_EQ(ByteToBits(0x41), "01000001");
    EXPECT_EQ(ByteToBits(0xFF), "11111111");
    EXPECT_EQ(BitsToByte("10000000"), 0x80);
    EXPECT_EQ(BitsToByte("1x1x1x1x"), 0xAA) << "anything but '1' counts as 0";
    EXPECT_EQ(DigitsToBits("0123456789"), "0101010101") << "any odd digit, 9 included, reads as 1";
    EXPECT_EQ(BitsToText("0100000101"), "A") << "an incomplete last group is dropped";
    EXPECT_EQ(UnscrambleText(ScrambleText("AB") + "135"), "AB");
}

TEST(Cryptograph, NonDigitRaisesConversionError)
{
    EXPECT_THROW(DigitsToBits("12a4"), EConvertError);
    EXPECT_THROW(UnscrambleText("0101010 "), EConvertError);
}

}  // namespace
