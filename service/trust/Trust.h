#pragma once
// Which files may run: the Authenticode test (signed as a member of a system
// catalog, or carrying a valid embedded signature; WinTrust is loaded at run
// time), the good list "goodlist.arn" of approved digests, and the user's
// trust list. The guards and the killer ask here, and nowhere else.
#include <string>

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

// Approved: the file's MD5 is a line of the good list, or the file is signed
// (its digest then joins the list, so the next test needs no signature check).
bool IsKnownGoodFile(const std::string& path);
bool IsKnownGoodFileW(const std::wstring& path);
// Approved, or on the trust list while that list counts: a file the guards
// leave where it is and the killer leaves running.
bool IsTrustedFile(const std::string& path);
bool IsTrustedFileW(const std::wstring& path);
// Appends one digest (32 hex digits) to the good list unless it is there.
// Several threads may add at once; a line is appended whole, so readers never
// see the list emptied, and a failed write loses no line already there.
void AddGoodListDigest(const std::string& digest);
