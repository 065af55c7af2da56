#pragma once
// The program's texts, one table per language: captions and hints of the controls by
// object name, the window title, and the shared texts other code shows by name.
// Strings are UTF-8 literals; they are all representable in Windows-1252.

#include <span>

#include "core/timing.h"

namespace kb {

enum class Language { English, French, German, Italian, Portuguese, Spanish };

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
};

struct LanguageTexts {
    Language language;
    const char* code;  // LanguageCode as stored: "E", "F", ...
    const char* title;
    const char* banner;
    const char* helpFile;
    SharedTexts shared;
    SummaryWords summary;
    std::span<const CaptionEntry> captions;
};

const LanguageTexts& languageTexts(Language lang);

}  // namespace kb
