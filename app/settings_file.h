#pragma once
// keybird.dat between bytes and a plain struct: the reader and the writer of the settings
// file, nothing else. No Qt and no file system here (settings_store.h finds and writes the
// file); the main window applies a Settings to its widgets and fills one back at exit.
// Everything runs on the GUI thread.
//
// The file is 8-bit Windows-1252 text, lines ending in CR LF, in three sections:
//   key lines ("SPEED=12" ...), the optional chosen-character line (byte 0x01 + text), and
//   the marker line (0x02, MaskStartChar, MaskEndChar; 0xFF for a delimiter not set);
//   lesson lines (0..60);
//   local-character lines (0..26), the alphabet-list rows " c  code  comment".
// Byte-compatible with the files users already have.
//
// Reading rules worth knowing when applying the result:
// - Only the LAST line whose first byte is 0x02 is the marker line; a file without one is
//   ignored as a whole (readSettings returns false and leaves the struct untouched).
// - An empty line among the key lines ends the reading there: the values after it, the
//   lessons and the local characters keep what the struct held before.
// - Later lines of the same key win, except SHORTCUT= and MSG=, which fill slots 1, 2, ...
//   in turn (at most 26 and 6): a hole left by an empty message moves later ones up.
//   Lines the program never writes take no slot: MSG= with nothing after "=", SHORTCUT=
//   without a key or without a text. A chosen-character line that is empty or starts
//   with a blank means no chosen set (" ").
// - Line ends: CR LF and bare LF (files hand-edited on Linux). A lone CR is an ordinary
//   byte, so a scrambled password containing CR survives.
//
// Hand-edited values (the program itself always writes valid ones). Key names are compared
// exactly, case included; values that are numbers or words are compared ignoring
// surrounding blanks/tabs, and words ignoring case. A value that is not a number keeps
// what the struct held (PAGE= gives 1, as the program always did). Out-of-range numbers:
//   ranges clamp to the nearest end:  SPEED= 5..50, SPACE= 1..30, SPACEW= 1..4,
//     LEVEL= -15..0, RANDOM_COUNT= 5..1000, QUIZ_COUNT= 5..1000, LEFT_/RIGHT_THRESHOLD=
//     0..127, NOISE_LEVEL= 0..20, QSB_LEVEL= 0..20, PAGE= 1..3, TXDELAY= 50..250 ms
//     (then the nearest of 50, 100, ... 250), ISOUND=/OSOUND= below -1 give -1;
//   choices ignore a value that is not one of them: WORDS= (0, 2..8), RANDOM= (1..7),
//     COM= (0..4), PTT= and CW= (0..3), LPT= (0..3), PIN= (0..3), LANGUAGE=, MIXED=,
//     VVVVV=, MONITOR_CASE=, MONITOR_CHANNEL=, INSTMF=/INSTMR=/INSTFN=/INSTFS= (1, 0),
//     DELAY= (its 16 labels);
//   fixed rules: NOISE_BW= not 1, 2, 4 or 8 gives 8; NOTE= below 100 Hz gives 100 Hz
//     (position 140), above 1500 Hz gives 1500 Hz (position 0), -1 the examination tone;
//     LOGIC= other than N gives P; ADLPT= is kept as text (lptAddressFromText).
// Lines that can never be valid are left out rather than trusted: a local-character line
// whose code is empty or longer than 10 elements, or whose character is a blank, a
// control code, "@", a standard character (in either case) or a local character already
// read; its first byte is taken as the blank the format has. Local-character lines are
// looked for to the end of the file and at most 26 are taken. The chosen-character text
// is cut to 70 characters.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/morse.h"

namespace kb {

inline constexpr int LessonCount = 60;
inline constexpr int LessonsPerPage = 20;
inline constexpr int MessageCount = 6;
inline constexpr std::size_t LocalRowMax = 40;    // a local-character row is cut to this
inline constexpr std::size_t LocalCodeMax = 10;   // elements of a local character's code
inline constexpr std::size_t ChosenTextMax = 70;  // the chosen-character text
inline constexpr std::string_view InitialMessage1 = "73 de N0CALL";

// Quiz answer delays (UpDownDelay positions 1..16) and their intervals.
inline constexpr std::array<std::string_view, 16> DelayLabels = {
    "0.25", "0.5", "0.75", "1", "1.25", "1.5", "1.75", "2",
    "2.5",  "3",   "4",    "5", "6",    "7",   "8",    "9"};
inline constexpr int DefaultDelayPosition = 10;  // "3"
int delayMilliseconds(int position);             // 250 .. 9000; position clamped to 1..16

// MIXED=: OFF (mixed characters), ON (MenuWordContent, non-mixed), CALL (menuCallsigns).
enum class WordContent { Mixed, NonMixed, Callsigns };

// The design-time lesson pages: lessons 1..20 as the choice list holds them at start,
// lessons 21..60 a single blank (empty).
std::array<std::string, LessonCount> initialLessonPages();

struct Settings {
    // --- key lines, in file order ---
    int speed = 12;                                // SPEED=  UpDownVitesse position, wpm 5..50
    int charSpacing = 1;                           // SPACE=  SpinEditEspace.Value 1..30
    int wordSpacingFactor = 1;                     // SPACEW= WordSpacingFactor 1..4
    char languageCode = 'E';                       // LANGUAGE= E, D, F, I, P or S (LanguageCode)
    int level = -9;                                // LEVEL=  UpDownAmplitude position, dB -15..0
    int randomCount = 250;                         // RANDOM_COUNT= SpinEditRandomNumber.Value
    int words = 5;                                 // WORDS= 2..8 fixed length, 0 random length
    WordContent wordContent = WordContent::Mixed;  // MIXED=
    bool addV = false;                             // VVVVV= MenuAddV
    // RANDOM= 1 Letters, 2 Figures, 3 Stops, 4 Local, 5 Letters + Figures, 6 All,
    // 7 Chosen. Apply it last, after the local characters and the chosen-character text
    // (7 is restored through the chosen-character text).
    int randomClass = 6;
    int comPort = 0;                   // COM= RadioGroupCOM.ItemIndex 0 none, 1..4
    bool monitorUpperCase = false;     // MONITOR_CASE= UPPER / LOWER (CheckBoxUpperCase)
    bool monitorRightChannel = false;  // MONITOR_CHANNEL= RIGHT / LEFT (RadioButtonRC)
    int leftThreshold = 64;            // LEFT_THRESHOLD=  TrackBarLC 0..127
    int rightThreshold = 64;           // RIGHT_THRESHOLD= TrackBarRC 0..127
    int noiseLevel = 10;               // NOISE_LEVEL= TrackBarNoise 0..20
    int qsbLevel = 10;                 // QSB_LEVEL=   TrackBarQSB 0..20
    int noiseHold = 8;                 // NOISE_BW= NoiseHold 1, 2, 4, 8
    // NOTE=: TrackBarNote position 0..140 (pitch 1500 - 10 x position Hz), or -1 for the
    // examination tone. The file holds Hz; the writer writes the position's pitch.
    int notePosition = 70;
    // TonePitch as NOTE= gave it (a hand-edited value between two positions is kept
    // as it stands, as the program always did); unchanged by NOTE=-1.
    long double tonePitch = 800;
    int delayPosition = DefaultDelayPosition;  // DELAY= UpDownDelay position 1..16
    int lessonPage = 1;                        // PAGE= LessonPage 1..3
    int quizCount = 100;                       // QUIZ_COUNT= SpinEditQuizNumber.Value
    ShortcutTable shortcuts{};                 // SHORTCUT= key + text, slots filled in order
    std::array<std::string, MessageCount> messages{std::string(InitialMessage1)};  // MSG=
    int pttLineMask = 3;  // PTT= PttLineMask, bit 0 DTR, bit 1 RTS
    int cwLineMask = 0;   // CW=  CwLineMask
    int txDelayMs = 100;  // TXDELAY= 50, 100, 150, 200 or 250
    int lptIndex = 0;     // LPT= RadioGroupLPT.ItemIndex 0 none, 1..3
    // ADLPT=: the chosen port's address edit text as it stands, e.g. "[378h]"; empty
    // when no port is chosen. lptAddressFromText() gives the address it loads.
    std::string lptAddressText;
    int pinIndex = 0;                // PIN= RadioGroupPin.ItemIndex 0..3 (1, 14, 16, 17)
    bool negativeLogic = false;      // LOGIC= N / P: the chosen pin's "Neg. logic" box
    std::string instructorPassword;  // MDPINT=, held in clear (scrambled in the file)
    bool lockMaskedFile = false;     // INSTMF=
    bool lockMaskedRandom = false;   // INSTMR=
    bool lockFixedNote = false;      // INSTFN=
    bool lockFixedSpeed = false;     // INSTFS=
    int inputDeviceId = -1;          // ISOUND= -1 the system chooses, else the list index
    int outputDeviceId = -1;         // OSOUND=
    // COMDEV1= .. COMDEV4=: the device COM1..COM4 opens when not /dev/ttyS0..3 (a USB
    // adapter); empty for the default.
    std::array<std::string, 4> comDevices{};

    // --- chosen-character line: the text of BoxCaracteresChoix (lower case). Written only
    // when not empty and not starting with a blank; " " is the design-time value. ---
    std::string chosenCharacters = " ";

    // --- marker line: the masked-text delimiters, -1 when not set ---
    std::int32_t maskStartChar = -1;  // MaskStartChar; set means MenuMaskedtext checked
    std::int32_t maskEndChar = -1;    // MaskEndChar

    // --- lesson lines: LessonPages, lesson n at index n - 1; " " is an empty lesson ---
    std::array<std::string, LessonCount> lessonPages = initialLessonPages();

    // --- local-character lines: the alphabet-list rows (from row 97), one per local
    // character, each " c  code  comment" of at most 40 characters ---
    std::vector<std::string> localCharacterRows;

    bool operator==(const Settings&) const = default;
};

// Which lines of the key section gave a value: the key names ("SPEED=", "LOGIC=" ...) of
// the lines whose value was taken, and ChosenLineKey and MarkerLineKey for those two
// lines. A key that is missing, or whose value was refused, leaves its control as it is
// (the design-time state on a first run): only the keys named here are applied. The
// Settings struct itself still holds a value for every key, so what is written back for
// a key the window never applies is the value read, or the default.
using SettingsKeys = std::set<std::string, std::less<>>;
inline constexpr std::string_view ChosenLineKey = "\x01";
inline constexpr std::string_view MarkerLineKey = "\x02";

// What the reading noticed that is no setting, for the start-up to say.
struct SettingsNotes {
    // The number PAGE= held when it lay outside 1..3 (Settings::lessonPage has it
    // clamped).
    std::optional<int> lessonPageOutOfRange;
};

// Reads a keybird.dat image into s. Returns false, and leaves s as it was, when the bytes
// hold no line or no marker line; otherwise applies what the file says on top of s (pass
// a default Settings for start-up) and returns true. With `present`, the keys that gave
// a value are added to it; with `notes`, what the reading noticed.
bool readSettings(std::string_view bytes, Settings& s, SettingsKeys* present = nullptr,
                  SettingsNotes* notes = nullptr);

// The file image of s: CR LF line ends, Windows-1252 bytes, the password scrambled.
// A line break cannot live inside a line, so LF bytes are dropped from texts; a password
// whose scrambled form would hold one is not written (see passwordCanBeStored); lessons
// that start with a blank or byte 0x02 and rows that are not local-character rows are
// left out, as are delimiters that cannot be stored (written as none).
std::string writeSettings(const Settings& s);

// MDPINT=: the character at 1-based position j becomes the one with code
// (code + j*j) mod 256; unscrambling subtracts.
std::string scramblePassword(std::string_view password);
std::string unscramblePassword(std::string_view scrambled);
// False when the scrambled password would contain a line feed (for example "ñ" in 5th
// place), which would break the file; the instructor dialog should refuse such a password.
bool passwordCanBeStored(std::string_view password);

// TonePitch in Hz for a track-bar position (0..140).
long double pitchOfNotePosition(int position);

// The base address an ADLPT= text loads: the first character (the "[") dropped and the
// next four read as hexadecimal when they all are hex digits ("[D000h]", a PCI card),
// else the next three, as files have always held them ("[378h]"). 0 (none) when empty
// or malformed.
int lptAddressFromText(std::string_view text);

// A local-character row's character (its second byte) and its code: the "." and "-" of
// the code field, which starts at the first non-blank from the fifth byte on and ends
// where two blanks open the comment (so dots or dashes in a comment never leak into the
// code).
unsigned char localRowCharacter(std::string_view row);
std::string localRowCode(std::string_view row);

// Defines the local characters of s: each row's code in the Morse table (under the
// character and both its case forms) and the character appended to the list. Rows whose
// character is already in the list or whose code is empty are passed over, as are rows
// beyond the 26 local slots.
void applyLocalCharacters(const Settings& s, MorseTable& morse, CharacterList& list);

}  // namespace kb
