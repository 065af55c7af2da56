#include "modes/record_panel.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QTextBlock>
#include <QVBoxLayout>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "core/cp1252.h"
#include "modes/play_control.h"
#include "modes/quiz_mode.h"
#include "modes/random_mode.h"
#include "modes/typed_text.h"
#include "ui/form1.h"
#include "ui/timing_controls.h"
#include "ui/typed_text_edit.h"
#include "ui/ui_services.h"
#include "ui/widgets.h"

namespace kb {

namespace {

constexpr const char* WaveFilter = "Wave file/fichier son (*.wav)";

// A file written under a temporary name in the folder of its final name, and renamed
// over it only once complete: until then any older file stays as it was, and a failed
// or abandoned write removes the temporary. An existing file keeps its mode (and, for
// root, its owner); a symbolic link is followed, so its target is what gets replaced. A
// device or a FIFO is written straight through, since renaming over it would destroy it.
// Every step returns 0 or the errno of its failure.
class ReplacingFile {
public:
    ReplacingFile() = default;
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;
    ~ReplacingFile() { abandon(); }

    int open(const std::string& path) {
        std::string target = path;
        std::optional<struct stat> existing;
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0) {
            existing = st;
            if (char* real = ::realpath(path.c_str(), nullptr)) {
                target = real;
                std::free(real);
            }
            if (!S_ISREG(st.st_mode)) {
                fd_ = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
                return fd_ < 0 ? errno : 0;
            }
        }
        final_ = target;
        const std::size_t slash = target.rfind('/');
        const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
        // A short name of our own: the chosen name may already be as long as a name can be.
        for (int n = 0; fd_ < 0; ++n) {
            temporary_ = folder + ".keybird-record-" + std::to_string(::getpid()) + "-" +
                         std::to_string(n) + ".tmp";
            fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd_ < 0 && (errno != EEXIST || n >= 100)) {
                const int e = errno;
                temporary_.clear();
                return e;
            }
        }
        if (existing) {
            if (::geteuid() == 0 && ::fchown(fd_, existing->st_uid, existing->st_gid) != 0)
                return errno;
            if (::fchmod(fd_, existing->st_mode & 07777) != 0) return errno;
        }
        return 0;
    }

    int write(const void* data, std::size_t n) {
        const auto* p = static_cast<const char*>(data);
        while (n > 0) {
            const ssize_t done = ::write(fd_, p, n);
            if (done < 0) {
                if (errno == EINTR) continue;
                return errno;
            }
            p += done;
            n -= static_cast<std::size_t>(done);
        }
        return 0;
    }

    int commit() {
        // On the disk before the name points at it: a crash never leaves an empty file
        // where the old one was.
        if (!temporary_.empty() && ::fsync(fd_) != 0) return errno;
        const int fd = std::exchange(fd_, -1);
        if (::close(fd) != 0) return errno;
        if (temporary_.empty()) return 0;
        if (::rename(temporary_.c_str(), final_.c_str()) != 0) return errno;
        temporary_.clear();
        return 0;
    }

    void abandon() {
        if (fd_ >= 0) ::close(std::exchange(fd_, -1));
        if (!temporary_.empty()) ::unlink(std::exchange(temporary_, std::string()).c_str());
    }

private:
    int fd_ = -1;
    std::string final_;
    std::string temporary_;
};

}  // namespace

RecordPanel::RecordPanel(TForm1& form) : f_(form) {
    build();
    wire();
    // The size follows the speed and the spacings while the panel is shown.
    previousTimingChange_ = std::move(form.timing().afterTimingChange);
    form.timing().afterTimingChange = [this] {
        if (previousTimingChange_) previousTimingChange_();
        if (shown()) openPanel();
    };
}

RecordPanel::~RecordPanel() {
    f_.timing().afterTimingChange = std::move(previousTimingChange_);
}

void RecordPanel::build() {
    TForm1& f = f_;
    MenuRecordMemoRandom = named(new QAction(&f), "MenuRecordMemoRandom");
    MenuRecordMemoRandom->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F10));
    f.MenuOutils->insertAction(f.randomMode().MenuQuickRandom, MenuRecordMemoRandom);
    MenuSaveTextWave = named(new QAction(&f), "MenuSaveTextWave");
    MenuSaveTextWave->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F6));
    f.MenuOutils->insertAction(f.MenuOutilsQuit, MenuSaveTextWave);
    f.MenuOutils->insertSeparator(f.MenuOutilsQuit);

    PanelTextRecord = named(new QFrame(f.RightArea), "PanelTextRecord");
    PanelTextRecord->setFrameShape(QFrame::Panel);
    PanelTextRecord->setFrameShadow(QFrame::Raised);
    auto* v = new QVBoxLayout(PanelTextRecord);
    LabelTextRecord = panelTitle(PanelTextRecord, "LabelTextRecord");
    v->addWidget(LabelTextRecord);
    auto* sizeRow = new QHBoxLayout;
    LabelTailleFichier = named(new QLabel(PanelTextRecord), "LabelTailleFichier");
    LabelValeurTailleFichier = named(new QLabel(PanelTextRecord), "LabelValeurTailleFichier");
    sizeRow->addWidget(LabelTailleFichier);
    sizeRow->addWidget(LabelValeurTailleFichier);
    sizeRow->addStretch();
    v->addLayout(sizeRow);
    LabelTextRecordContinue = named(new QLabel(PanelTextRecord), "LabelTextRecordContinue");
    v->addWidget(LabelTextRecordContinue);

    auto* choices = new QHBoxLayout;
    auto* rate = new QVBoxLayout;
    LabelSamplingFrequency = named(new QLabel(PanelTextRecord), "LabelSamplingFrequency");
    // A list of the two rates: a typed rate could only be replaced by the current one.
    ComboBoxFrequence = named(new QComboBox(PanelTextRecord), "ComboBoxFrequence");
    ComboBoxFrequence->addItems({QStringLiteral("11025"), QStringLiteral("22050")});
    ComboBoxFrequence->setCurrentText(QStringLiteral("22050"));
    rate->addWidget(LabelSamplingFrequency);
    rate->addWidget(ComboBoxFrequence);
    rate->addStretch();
    choices->addLayout(rate);
    GroupBoxTextRecord = named(new QGroupBox(PanelTextRecord), "GroupBoxTextRecord");
    auto* g = new QVBoxLayout(GroupBoxTextRecord);
    RadioButtonMono8 = named(new QRadioButton(QStringLiteral("Mono 8 bits"), GroupBoxTextRecord),
                             "RadioButtonMono8");
    RadioButtonMono16 = named(new QRadioButton(QStringLiteral("Mono 16 bits"), GroupBoxTextRecord),
                              "RadioButtonMono16");
    RadioButtonStereo8 =
        named(new QRadioButton(QStringLiteral("Stereo 8 bits"), GroupBoxTextRecord),
              "RadioButtonStereo8");
    RadioButtonStereo16 =
        named(new QRadioButton(QStringLiteral("Stereo 16 bits"), GroupBoxTextRecord),
              "RadioButtonStereo16");
    for (QRadioButton* r :
         {RadioButtonMono8, RadioButtonMono16, RadioButtonStereo8, RadioButtonStereo16}) {
        g->addWidget(r);
    }
    RadioButtonMono8->setChecked(true);
    choices->addWidget(GroupBoxTextRecord);
    v->addLayout(choices);

    auto* buttons = new QHBoxLayout;
    BitBtnYesRecord =
        named(new QPushButton(QStringLiteral("&Yes"), PanelTextRecord), "BitBtnYesRecord");
    BitBtnNoRecord =
        named(new QPushButton(QStringLiteral("&Non"), PanelTextRecord), "BitBtnNoRecord");
    buttons->addStretch();
    buttons->addWidget(BitBtnYesRecord);
    buttons->addWidget(BitBtnNoRecord);
    buttons->addStretch();
    v->addLayout(buttons);
    f.addSidePanel(PanelTextRecord, [this] { BitBtnNoRecord->click(); });
}

void RecordPanel::wire() {
    TForm1& f = f_;
    QObject::connect(MenuSaveTextWave, &QAction::triggered, &f,
                     [this] { MenuSaveTextWaveClick(); });
    QObject::connect(MenuRecordMemoRandom, &QAction::triggered, &f,
                     [this] { MenuRecordMemoRandomClick(); });
    const auto format = [this, &f](QRadioButton* r, int channels, int bits) {
        QObject::connect(r, &QRadioButton::clicked, &f,
                         [this, channels, bits] { formatClick(channels, bits); });
    };
    format(RadioButtonMono8, 1, 8);
    format(RadioButtonMono16, 1, 16);
    format(RadioButtonStereo8, 2, 8);
    format(RadioButtonStereo16, 2, 16);
    QObject::connect(ComboBoxFrequence, &QComboBox::currentTextChanged, &f,
                     [this](const QString& text) { ComboBoxFrequenceChange(text); });
    QObject::connect(BitBtnYesRecord, &QPushButton::clicked, &f,
                     [this] { BitBtnYesRecordClick(); });
    QObject::connect(BitBtnNoRecord, &QPushButton::clicked, &f, [this] { BitBtnNoRecordClick(); });
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), PanelTextRecord);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(escape, &QShortcut::activated, &f, [this] { BitBtnNoRecordClick(); });
}

bool RecordPanel::shown() const {
    return !PanelTextRecord->isHidden();
}

void RecordPanel::MenuSaveTextWaveClick() {
    fromTextBox_ = true;
    openPanel();
}

void RecordPanel::MenuRecordMemoRandomClick() {
    fromTextBox_ = false;
    openPanel();
}

bool RecordPanel::sourceReady(bool atYes) {
    const SharedTexts& t = f_.texts().shared;
    const auto refuse = [this](const char* text) {
        f_.ui().warning(&f_, QString::fromUtf8(text));
        return false;
    };
    if (fromTextBox_) {
        if (f_.Editcaractere->text().isEmpty()) return refuse(t.msgNothingToRecord);
    } else {
        RandomMode& random = f_.randomMode();
        if (atYes ? !random.BitBtnStopRandom->isHidden() : random.runOn())
            return refuse(t.msgStopRandomBeforeRecording);
        if (random.MemoRandom->document()->firstBlock().text().isEmpty())
            return refuse(t.msgNothingToRecord);
    }
    if (f_.typed().replayOn() || f_.quiz().quizOn() || !f_.play().engine().pendingText().empty())
        return refuse(t.msgStopPlayingBeforeRecording);
    return true;
}

std::string RecordPanel::sourceText() const {
    if (fromTextBox_) return utf8ToCp1252(f_.Editcaractere->text().toStdString());
    std::string text;
    for (QTextBlock b = f_.randomMode().MemoRandom->document()->firstBlock(); b.isValid();
         b = b.next()) {
        if (b != f_.randomMode().MemoRandom->document()->firstBlock()) text += "\r\n";
        text += utf8ToCp1252(b.text().toStdString());
    }
    return text;
}

RecordDurations RecordPanel::durations() const {
    const CharacterSettings c = f_.timing().characterSettings();
    return recordDurations(elementDurations(speedFactor(c.speed), c.weightRatio), format_);
}

RecordSpacing RecordPanel::spacing() const {
    const CharacterSettings c = f_.timing().characterSettings();
    return {c.spacing, c.wordSpacingFactor};
}

void RecordPanel::refreshSize(const std::string& text) {
    dataSize_ = recordDataSize(text, f_.morse(), durations(), format_, spacing());
    LabelValeurTailleFichier->setText(QString::fromStdString(formatRecordSize(dataSize_)));
}

void RecordPanel::openPanel() {
    if (!sourceReady(false)) return;
    f_.Editcaractere->setReadOnly(true);
    refreshSize(sourceText());
    // Another side panel (the spacing one among them) closes through its own exit.
    if (!shown()) f_.openSidePanel(PanelTextRecord);
}

void RecordPanel::formatClick(int channels, int bits) {
    format_.channels = static_cast<std::uint8_t>(channels);
    format_.bits = static_cast<std::uint8_t>(bits);
    openPanel();
}

void RecordPanel::ComboBoxFrequenceChange(const QString& text) {
    if (text == QLatin1String("11025")) {
        format_.rateDivisor = 2;
    } else if (text == QLatin1String("22050")) {
        format_.rateDivisor = 1;
    } else {
        const QSignalBlocker block(ComboBoxFrequence);
        ComboBoxFrequence->setCurrentText(QString::number(format_.rate()));
    }
    openPanel();
}

void RecordPanel::close() {
    PanelTextRecord->hide();
    // A replay started while the panel was open keeps its box read-only to its end.
    f_.Editcaractere->setReadOnly(f_.typed().replayOn());
    f_.Editcaractere->setFocus();
}

void RecordPanel::BitBtnNoRecordClick() {
    close();
}

void RecordPanel::BitBtnYesRecordClick() {
    if (!sourceReady(true)) return;
    // The size is worked out again from the text as it is now: a quick serial may have
    // grown the memo since the panel opened, and the header must state what follows it.
    const std::string text = sourceText();
    refreshSize(text);
    const QString path =
        f_.ui().saveFileName(&f_, QStringLiteral("Text1.wav"), QString::fromLatin1(WaveFilter));
    if (path.isEmpty()) {
        close();
        return;
    }
    const std::string name = QFile::encodeName(path).toStdString();
    const auto fail = [this](int code, const char* what) {
        f_.ui().error(
            &f_, QStringLiteral("Err %1 : %2\n%3")
                     .arg(code)
                     .arg(QString::fromUtf8(what), QString::fromLocal8Bit(std::strerror(code))));
    };
    // Non-blocking, so that a FIFO's check does not wait for a writer.
    const int probe = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (probe < 0 && errno != ENOENT) {
        fail(errno, f_.texts().shared.msgFileError);
        close();
        return;
    }
    if (probe >= 0) ::close(probe);
    if (const int code = writeFile(name, text); code != 0) {
        fail(code, f_.texts().shared.msgWriteError);
    }
    close();
}

int RecordPanel::writeFile(const std::string& path, const std::string& text) {
    // The header holds the sizes in 32 bits: a larger file could only state a wrong one.
    if (dataSize_ > std::numeric_limits<std::uint32_t>::max() - 36) return EFBIG;
    ReplacingFile file;
    if (const int e = file.open(path)) return e;
    const auto header = wavHeader(format_, static_cast<std::uint32_t>(dataSize_));
    if (const int e = file.write(header.data(), header.size())) return e;
    const RecordDurations rd = durations();
    const RecordSpacing sp = spacing();
    const MorseTable& morse = f_.morse();
    const ToneTable& tone = f_.soundTables().tone();
    std::vector<std::uint8_t> buffer;
    for (char c : text) {
        buffer.clear();
        if (renderRecordCharacter(buffer, static_cast<unsigned char>(c), morse, tone, rd, format_,
                                  sp) == 0) {
            continue;
        }
        if (const int e = file.write(buffer.data(), buffer.size())) return e;
    }
    return file.commit();
}

}  // namespace kb
