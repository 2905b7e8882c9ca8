#include "uPassCheck.h"

#include "md5.h"
#include "qvStrings.h"

std::string PasswordDigest(const std::string& text) { return MD5DigestToHex(MD5OfString(text)); }

bool DigestMatches(const std::string& text, const TStoredPassword& stored)
{
    return stored.Known && SameText(PasswordDigest(text), stored.Digest);
}

int32_t ShownPassMode(int32_t requested, const TStoredPassword& stored)
{
    if (requested >= kPassStop) return requested;
    return stored.Known && !stored.Digest.empty() ? kPassDelete : kPassSet;
}

namespace {

TPassOutcome AnswerWith(const char* key) { return {TPassOutcome::Answer, key, false, {}}; }

}  // namespace

TPassOutcome DecidePassButton(int32_t mode, const TPassEntry& entry, const TStoredPassword& stored)
{
    if (!stored.Known) return AnswerWith("pass_noserv");
    switch (mode) {
    case kPassSet:
        if (entry.Password.empty()) return AnswerWith("pass_notset");
        if (!entry.ShowPassword && entry.Password != entry.Repeat) return AnswerWith("pass_notset");
        return {TPassOutcome::Answer, "pass_set", true, PasswordDigest(entry.Password)};
    case kPassDelete:
        if (!DigestMatches(entry.Password, stored)) return AnswerWith("pass_wrong");
        return {TPassOutcome::Answer, "pass_del", true, {}};
    default:
        if (!DigestMatches(entry.Password, stored)) return AnswerWith("pass_wrong");
        return {TPassOutcome::Accept, "", false, {}};
    }
}

const char* AnswerAfterWrite(const TPassOutcome& outcome, const TStoredPassword& readBack)
{
    if (!outcome.Write) return outcome.AnswerKey;
    if (!readBack.Known) return "pass_noserv";
    if (!SameText(readBack.Digest, outcome.NewValue)) return "pass_notset";
    return outcome.AnswerKey;
}
