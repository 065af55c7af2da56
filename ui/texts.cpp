#include "ui/texts.h"

#include <array>

namespace kb {
namespace {

using P = TextProperty;

// In the order the language switch writes them.
constexpr CaptionEntry kEnglishCaptions[] = {
    {"Label1", P::Caption, "Enter Text"},
    {"ButtonQuitter", P::Caption, "Quit"},
    {"Spacing1", P::Caption, "&Spacing between characters"},
    {"MenuEspaceMot", P::Caption, "Spacing between &words"},
    {"Poids", P::Caption, "&Weight dash/dot"},
    {"Label8", P::Caption, "Speed   wpm"},
    {"Label6", P::Caption, "Sound level dB"},
    {"GroupBoxControls", P::Caption, "Controls"},
    {"GroupBoxChoix", P::Caption, "Choice"},
    {"RadioButtonAlphabet", P::Caption, "&Alphabet"},
    {"RadioButtonCodeQ", P::Caption, "Q &Codes"},
    {"RadioButtonAbrev", P::Caption, "A&bbreviations"},
    {"RadioButtonRandom", P::Caption, "&Random"},
    {"RadioButtonFile", P::Caption, "&File"},
    {"RadioButtonQuiz", P::Caption, "&Quiz"},
    {"RadioButtonMonitor", P::Caption, "&Monitoring"},
    {"MenuComm", P::Caption, "&Options"},
    {"Language1", P::Caption, "&Language"},
    {"MenuOutils", P::Caption, "&Tools"},
    {"MenuOutilsQuit", P::Caption, "&Quit"},
    {"MenuTextreplay", P::Caption, "&Text"},
    {"MenuDelayedPlay", P::Caption, "&Delayed Play"},
    {"MenuContinuous", P::Caption, "Continuous &Replay"},
    {"ButtonPlayFile", P::Caption, "Play F&ile"},
    {"ButtonContinueFile", P::Caption, "Resume F&ile"},
    {"OnairBox", P::Caption, "On air"},
    {"PanelEspaceTitle", P::Caption, "SPACING BETWEEN CHARACTERS"},
    {"Panel1", P::Hint, "Enter from keyboard the text to be played"},
    {"Editcaractere", P::Hint, "Only characters having a morse code are played"},
    {"SpeedButtonRAZtext", P::Hint, "Clear text"},
    {"ButtonReplayText", P::Hint, "to Replay the above text"},
    {"ButtonPlayFile", P::Hint, "to Play the displayed File"},
    {"ButtonContinueFile", P::Hint, "to Resume the stopped File"},
    {"ButtonQuitter", P::Hint, "to Exit Keybird"},
    {"ButtonStop", P::Hint, "to Stop Quiz, random, text or file"},
    {"EditVitesse", P::Hint, "Min=5, max=50"},
    {"EditAmplitude", P::Hint, "Min=-15, max=0"},
    {"UpDownAmplitude", P::Hint, "to Select sound level"},
    {"RadioButtonAlphabet", P::Hint, "to list alphanumeric characters"},
    {"RadioButtonCodeQ", P::Hint, "to list Q codes"},
    {"RadioButtonAbrev", P::Hint, "to list main abreviations"},
    {"RadioButtonRandom", P::Hint, "to generate series of random characters"},
    {"RadioButtonFile", P::Hint, "to play an ASCII file"},
    {"RadioButtonQuiz", P::Hint, "to test your knowledge"},
    {"RadioButtonMonitor", P::Hint, "to decode your own morse signals"},
    {"OnairBox", P::Hint, "PTT ON when lit"},
    {"Panel2", P::Hint, "This is a freeware !"},
    {"Spacing1", P::Hint, "to modify spacing between characters"},
    {"MenuNote", P::Caption, "No&te"},
    {"MenuNoisesettings", P::Caption, "&Noise settings"},
    {"MenuQSBsetting", P::Caption, "QSB setting"},
    {"MenuPort", P::Caption, "&Port"},
    {"MenuPort", P::Hint, "Choose serial port for Transmit command"},
    {"MenuSoundCard", P::Caption, "Sound card"},
    {"TitreCarteSon", P::Caption, "CHOOSE THE SOUND CARD"},
    {"RadioButtonCarteWin", P::Caption, "Let the system choose the Sound card"},
    {"RadioButtonCarteMoi", P::Caption, "I choose my Sound card"},
    {"LabelSonIn", P::Caption, "Record inputs"},
    {"LabelSonOut", P::Caption, "Playback outputs"},
    {"QuizGroupBox", P::Caption, "Quiz"},
    {"QuizLabel", P::Caption, "Listen and type your answer"},
    {"LabelQuizNumber", P::Caption, "Number of characters to generate ="},
    {"LabelDelay", P::Caption, "Delay to answer (s)"},
    {"LabelQuizCaracters", P::Caption, "The characters to play are "},
    {"LabelCaractersChange", P::Caption,
     "to change, click in the window or use Menu Options/Random characters"},
    {"ButtonQuizOK", P::Hint, "Click to Start Quiz"},
    {"ButtonQuizStop", P::Hint, "to Stop Quiz"},
    {"GroupBoxQuiz", P::Caption, "Keybird report"},
    {"StaticText1", P::Caption, "Mark\n(Click to hide)"},
    {"StaticText2", P::Caption, "You should revise those characters :"},
    {"ButtonResetReport", P::Caption, "Clear re&port"},
    {"MenuMaskedtext", P::Caption, "&Masked text"},
    {"LabelMaskedText", P::Caption, "MASKED TEXT DELIMITORS"},
    {"LabelStartMaskedText", P::Caption, "<=  Input starting character"},
    {"LabelEndMaskedText", P::Caption, "<=  Input ending character"},
    {"LabelHintMaskedText", P::Caption, "Texts will be ignored between those two characters"},
    {"ButtonMaskedTextCancel", P::Caption, "Cancel"},
};

const LanguageTexts kEnglish{
    Language::English,
    "E",
    "KEYBIRD 3.1.7 - THE  MORSE  CODE  TEACHER  &  TRAINER",
    "Keybird - a Morse code teacher and trainer for Linux, free to use and share",
    "Keybirdenglish.hlp",
    SharedTexts{
        "Replay &Text",
        "Resume &Text",
        "Hide",
        "Show",
        "Lesson",
        "Not enough memory !",
        "Can't open the sound card !",
        "Stop playing before changing sound card !",
        "You quit ! Are you sure ?",
        "Can't create keybird.dat !",
        "SPACING BETWEEN CHARACTERS",
        "No morse characters to play !",
        "Starting and ending characters must be different !",
    },
    SummaryWords{},
    kEnglishCaptions,
};

}  // namespace

const LanguageTexts& languageTexts(Language /*lang*/) {
    // The other five languages join this table with the language switch.
    return kEnglish;
}

}  // namespace kb
