#pragma once
// Turns a text into a string of decimal digits and back: each bit becomes a
// random digit of its parity (odd for 1, even for 0), most significant bit first.
#include <string>

std::string ScrambleText(const std::string& text);
std::string UnscrambleText(const std::string& digits);
std::string ByteToBits(unsigned char byte);
std::string TextToBits(const std::string& text);
std::string BitsToDigits(const std::string& bits);
std::string DigitsToBits(const std::string& digits);  // raises EConvertError on a non-digit
unsigned char BitsToByte(const std::string& bits);
std::string BitsToText(const std::string& bits);
