#pragma once
// What the password dialog decides, without the dialog: which mode it shows,
// and what its button does with the entered texts and the stored digest.
// The stored form of a password is the MD5 of its ANSI bytes as 32 upper-case
// hex digits; an empty value means no password. Digests compare without
// regard to case. Nothing here logs a password or a digest.
#include <cstdint>
#include <string>

enum TPassMode : int32_t {
    kPassSet = 0,       // set a password (turned into kPassDelete when one is stored)
    kPassDelete = 1,
    kPassStop = 2,      // confirm stopping the protection
    kPassSettings = 3,  // confirm opening the settings window
};

// The stored `password` as a read of it came back: Known is false when the
// service gave no answer.
struct TStoredPassword {
    bool Known = false;
    std::string Digest;
};

std::string PasswordDigest(const std::string& text);
bool DigestMatches(const std::string& text, const TStoredPassword& stored);

// The mode the dialog shows for the caller's mode.
int32_t ShownPassMode(int32_t requested, const TStoredPassword& stored);

struct TPassEntry {
    std::string Password;
    std::string Repeat;
    bool ShowPassword = false;  // the repeat edit is hidden and not compared
};

struct TPassOutcome {
    enum TAction { Answer, Accept } Action = Answer;
    const char* AnswerKey = "";  // language key shown on the answer panel
    bool Write = false;          // write NewValue as `password`
    std::string NewValue;
};

// The button of the dialog in the shown mode. `stored` is the read made for
// this click (modes 1 to 3) or when the dialog was shown (mode 0). Without an
// answer nothing is set, deleted or accepted, and the dialog says the service
// did not answer ("pass_noserv").
TPassOutcome DecidePassButton(int32_t mode, const TPassEntry& entry, const TStoredPassword& stored);

// The answer once the written value was read back: "pass_notset" when the
// read-back differs from what was written, "pass_noserv" when none came.
const char* AnswerAfterWrite(const TPassOutcome& outcome, const TStoredPassword& readBack);
