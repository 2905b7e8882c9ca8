#pragma once
// The service side of the language files: which keys the programs look up,
// and how a missing one is added to a file so that the file shows what it
// lacks. Pure text work; the command that uses it (31) reads and writes the
// file.
#include <optional>
#include <string>

// True for a key that the programs look up in that section (the list shipped
// with the language files); section and key compare without regard to case.
bool IsProgramLanguageKey(const std::string& section, const std::string& key);

// The file's text with "key=" added right below the section's header (and the
// section added at the end when the file has none); nothing when the section
// already holds the key. The result is always the whole old text plus the
// new line: whatever the file holds, nothing of it is lost.
std::optional<std::string> WithEmptyIniKey(const std::string& text, const std::string& section,
                                           const std::string& key);
