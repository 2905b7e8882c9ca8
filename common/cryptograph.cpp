#include "cryptograph.h"

#include <mutex>
#include <random>

#include "qvErrors.h"

namespace {

// A digit drawn uniformly from 0..8 until its parity is the wanted one.
char RandomDigitOfParity(bool odd)
{
    static std::mutex lock;
    static std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<int> draw(0, 8);
    std::lock_guard<std::mutex> guard(lock);
    for (;;) {
        int digit = draw(generator);
        if ((digit % 2 == 1) == odd) return static_cast<char>('0' + digit);
    }
}

}  // namespace

std::string ByteToBits(unsigned char byte)
{
    std::string bits(8, '0');
    for (int i = 0; i < 8; ++i)
        if (byte & (0x80 >> i)) bits[i] = '1';
    return bits;
}

std::string TextToBits(const std::string& text)
{
    std::string bits;
    bits.reserve(text.size() * 8);
    for (unsigned char c : text) bits += ByteToBits(c);
    return bits;
}

std::string BitsToDigits(const std::string& bits)
{
    std::string digits;
    digits.reserve(bits.size());
    for (char bit : bits) digits += RandomDigitOfParity(bit == '1');
    return digits;
}

std::string DigitsToBits(const std::string& digits)
{
    std::string bits;
    bits.reserve(digits.size());
    for (char c : digits) {
        if (c < '0' || c > '9') throw EConvertError("'" + std::string(1, c) + "' is not a valid integer value");
        bits += ((c - '0') % 2 == 1) ? '1' : '0';
    }
    return bits;
}

unsigned char BitsToByte(const std::string& bits)
{
    unsigned char byte = 0;
    for (size_t i = 0; i < 8 && i < bits.size(); ++i)
        if (bits[i] == '1') byte |= static_cast<unsigned char>(0x80 >> i);
    return byte;
}

std::string BitsToText(const std::string& bits)
{
    std::string text;
    for (size_t i = 0; i + 8 <= bits.size(); i += 8) text += static_cast<char>(BitsToByte(bits.substr(i, 8)));
    return text;
}

std::string ScrambleText(const std::string& text) { return BitsToDigits(TextToBits(text)); }

std::string UnscrambleText(const std::string& digits) { return BitsToText(DigitsToBits(digits)); }
