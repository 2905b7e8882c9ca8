#pragma once
// Which files may run: the Authenticode test (signed as a member of a system
// catalog, or carrying a valid embedded signature; WinTrust is loaded at run
// time), the good list "goodlist.arn" of approved digests, and the user's
// trust list. The guards and the killer ask here, and nowhere else.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// Loads "wintrust.dll" and its entry points; call once at program start, before
// the watcher threads. Later calls do nothing. IsFileSigned also loads it on
// first use, so calling InitTrust is not required for correctness.
void InitTrust();
// Frees the library at program end (waits for checks under way). Every later
// IsFileSigned answers no.
void FinalizeTrust();

// True only when WinTrust confirms the file's signature (by its catalog when a
// system catalog holds the file, otherwise by the embedded signature). Every
// failure answers false. Safe on several threads at once.
bool IsFileSigned(const std::string& path);
bool IsFileSignedW(const std::wstring& path);

std::string GoodListPath();  // data folder + "goodlist.arn", one approved digest a line

// A file as one check reads it: judged, recorded and jailed with this one
// digest, so no step reads the file again.
struct TFileDigest {
    std::wstring Path;
    int64_t Size = -1;  // -1 when the file cannot be opened
    std::string Md5;    // upper-case hex; empty when the file cannot be read
};
TFileDigest DigestFileW(const std::wstring& path);

// The digests of one pass over many files (the killer's run): each file is
// read once, whatever names and how many processes lead to it, and only when
// its digest is asked for.
class TFileDigestCache {
public:
    int64_t SizeOf(const std::wstring& path);  // -1 when there is no such file
    const TFileDigest& Of(const std::wstring& path);

private:
    std::map<std::wstring, std::shared_ptr<TFileDigest>> byPath_;                   // lower case
    std::map<std::pair<uint64_t, uint64_t>, std::shared_ptr<TFileDigest>> byFile_;  // volume, index
};

// Approved: the file's MD5 is a line of the good list, or the file is signed
// (its digest then joins the list, so the next test needs no signature check).
bool IsKnownGoodFile(const std::string& path);
bool IsKnownGoodFileW(const std::wstring& path);
bool IsKnownGoodFile(const TFileDigest& file);
// Approved, or on the trust list while that list counts: a file the guards
// leave where it is and the killer leaves running.
bool IsTrustedFile(const TFileDigest& file);
// Judges many files in one pass (the killer's run) as IsTrustedFile does,
// reading the good list once.
class TTrustJudge {
public:
    TTrustJudge();
    bool IsTrusted(const TFileDigest& file);

private:
    std::vector<std::string> goodList_;
};
// Appends one digest (32 hex digits) to the good list unless it is there.
// Several threads may add at once; a line is appended whole, so readers never
// see the list emptied, and a failed write loses no line already there.
void AddGoodListDigest(const std::string& digest);
