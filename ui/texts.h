#pragma once
// The program's texts, one table per language: captions and hints of the controls by
// object name, the window title, the about text, and the shared texts other code shows by
// name. Strings are UTF-8 literals; every one is representable in Windows-1252, the code
// page the texts have always been kept in. Plain data, no Qt.

#include <optional>
#include <span>

#include "core/timing.h"

namespace kb {

// In the order the about box tests them.
enum class Language { English, French, German, Italian, Portuguese, Spanish };
inline constexpr Language AllLanguages[] = {Language::English,    Language::French,
                                            Language::German,     Language::Italian,
                                            Language::Portuguese, Language::Spanish};

enum class TextProperty { Caption, Hint };

struct CaptionEntry {
    const char* control;  // the control's (or menu item's) object name
    TextProperty property;
    const char* text;
};

struct SharedTexts {
    const char* replayTextCaption;
    const char* resumeTextCaption;
    const char* hideCaption;
    const char* showCaption;
    const char* lessonWord;
    const char* msgNotEnoughMemory;
    const char* msgCannotOpenSoundCard;
    const char* msgStopPlayingBeforeSoundCard;
    const char* msgQuitConfirm;
    const char* msgCannotCreateSettings;
    const char* spacingTitle;  // heading of the spacing panel
    const char* msgNoMorseCharacters;
    const char* msgDelimitersMustDiffer;
    const char* msgStopRandomBeforeClearing;
    const char* msgNothingToClear;
    const char* msgStopRandomBeforeRecording;
    const char* msgNothingToRecord;
    const char* msgStopPlayingBeforeRecording;
    const char* msgWriteError;
    const char* msgFileError;
    const char* msgCannotOpenFile;
    const char* localCharactersPageFull;  // LabelLocalPlein while 26 local characters exist
    // The help window: its title, and what it says when the document cannot be read
    // ("%1" is the document's path).
    const char* helpTitle;
    const char* msgHelpMissing;
    // The instructor dialog refuses a password the settings file could not hold.
    const char* msgPasswordCannotBeStored;
};

struct LanguageTexts {
    Language language;
    const char* code;  // LanguageCode as stored: "E", "F", ...
    const char* title;
    const char* banner;
    const char* helpFile;
    SharedTexts shared;
    SummaryWords summary;
    // Every language lists the same (control, property) pairs in the same order.
    std::span<const CaptionEntry> captions;
    // The about box: lines separated by "\r\n", indented to look centred.
    const char* aboutText;
    // The instructor dialog: its title and its controls' captions.
    const char* instructorTitle;
    std::span<const CaptionEntry> instructorCaptions;
};

const LanguageTexts& languageTexts(Language lang);

// One per language, each in its own file.
const LanguageTexts& englishTexts();
const LanguageTexts& frenchTexts();
const LanguageTexts& germanTexts();
const LanguageTexts& italianTexts();
const LanguageTexts& portugueseTexts();
const LanguageTexts& spanishTexts();

// "E", "F", "D", "I", "P", "S", exactly (a lower-case letter is no code).
std::optional<Language> languageFromCode(char code);

}  // namespace kb
