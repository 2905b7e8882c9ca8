#pragma once
// Language files and event texts. Every visible text of the tray comes from
// the current language file, an INI file beside the program ("Russian.lng",
// ...), looked up afresh on every use; only the event texts (TGlobMes) are
// loaded once at start.
//
// Every lookup names its section by one of the constants below and its key by
// a literal, so that tests/lang/check-lang-code.sh can check each key the code
// uses against the shipped language files.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "qvStrings.h"
#include "uTrayApplication.h"

enum TLangSection : int { kLangInfo = 0, kLangGui = 1, kLangArun = 2, kLangGlobal = 3 };

// "info", "gui", "arun", "global"; empty for any other index.
const char* LangSectionName(int section);

// The file name (no folder) of the current language, such as "Russian.lng".
std::string GetCurrentLanguage();
void SetCurrentLanguage(const std::string& fileName);
constexpr const char* kDefaultLanguage = "Russian.lng";

// The folder the language files are read from: the program's own folder,
// unless a test points it elsewhere. With a trailing "\".
std::string LanguageFolder();
void SetLanguageFolder(const std::string& folder);

// The key's text in the section of the current language file; "error" when
// the file, the section or the key is missing.
std::string GetLangText(int section, const std::string& key);
// The text with every "|" turned into CR LF.
std::string BarsToLineBreaks(std::string_view text);

// The language files beside the program, the `language` setting first.
void GetLanguageList(TStringList& list);

// The event texts: one field per key, in this order; codes select them.
struct TGlobMesField {
    int Code;       // message id (901-920) or event kind
    int OtherCode;  // a second kind sharing the text, or 0
    int Section;
    const char* Key;
};
extern const std::array<TGlobMesField, kGlobMesCount> kGlobMesFields;


// Fills the record from the current language file.
void LoadEventTexts(TGlobMes& record);
// The loaded text of an event kind or message id; any other code as a decimal number.
std::string EventCodeText(int code);
std::string EventCodeText(const TGlobMes& record, int code);

// The registry place of an event kind, as written in the report; false for
// kinds that have no fixed registry place.
bool EventRegistryPlace(int kind, bool win64, std::string& place);
// Where an event of the kind happened: a registry place, or the language
// text that names the file or place. Kinds with neither leave `text` as it is.
void EventPlaceText(int kind, std::string& text);
