#include "modes/monitor_mode.h"

#include <portaudio.h>
#include <QAction>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>
#include <string>
#include <vector>

#include "audio/portaudio_error_text.h"
#include "core/cp1252.h"
#include "core/nearest.h"
#include "modes/play_control.h"
#include "modes/quiz_mode.h"
#include "modes/random_mode.h"
#include "ui/form1.h"
#include "ui/text_save.h"
#include "ui/typed_text_edit.h"
#include "ui/ui_services.h"
#include "ui/widgets.h"

namespace kb {
namespace {

// What the window has when no input device was handed in: nothing opens.
class NoWaveIn final : public WaveIn {
public:
    int open(int) override { return paDeviceUnavailable; }
    int start() override { return paBadStreamPtr; }
    int close() override { return 0; }
    bool isOpen() const override { return false; }
};

constexpr const char* SaveFilter = "Text file/ Fichier Texte (*.txt *.wri *.cwp);;All/ Tous (*.*)";

constexpr int ThresholdMax = 127;
constexpr int DefaultThreshold = 64;

QSlider* thresholdBar(QWidget* parent, const char* name) {
    auto* t = named(new QSlider(Qt::Horizontal, parent), name);
    t->setRange(0, ThresholdMax);
    t->setValue(DefaultThreshold);
    return t;
}

QProgressBar* levelBar(QWidget* parent, const char* name) {
    auto* p = named(new QProgressBar(parent), name);
    p->setRange(0, 100);
    p->setValue(0);
    return p;
}

// Unchecks one of the window's exclusive mode buttons, which Qt would otherwise refuse.
void uncheck(QRadioButton* r) {
    r->setAutoExclusive(false);
    r->setChecked(false);
    r->setAutoExclusive(true);
}

}  // namespace

MonitorMode::MonitorMode(TForm1& form, WaveIn* input)
    : f_(form), in_(input), decoder_(form.morse()) {
    if (!in_) {
        noInput_ = std::make_unique<NoWaveIn>();
        in_ = noInput_.get();
    }
    decoded_.reserve(256);
    build();
    wire();
    in_->setNoticeHandler([this](const WaveInNotice& n) { onNotice(n); });
    form.play().addMode(*this);
    form.addActivityControl(GroupBoxMonitor);
}

MonitorMode::~MonitorMode() {
    // A notice drained after the window is gone must not reach it.
    in_->setNoticeHandler(nullptr);
    in_->close();
}

void MonitorMode::build() {
    GroupBoxMonitor = named(new QGroupBox(f_.RightArea), "GroupBoxMonitor");
    GroupBoxMonitor->hide();
    f_.addModeView(GroupBoxMonitor);
    auto* g = new QGridLayout(GroupBoxMonitor);
    LabelMonitor = named(new QLabel(GroupBoxMonitor), "LabelMonitor");
    LabelMonitor->setWordWrap(true);
    MemoMonitor = named(new QPlainTextEdit(GroupBoxMonitor), "MemoMonitor");
    MemoMonitor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RadioButtonLC = named(new QRadioButton(GroupBoxMonitor), "RadioButtonLC");
    RadioButtonRC = named(new QRadioButton(GroupBoxMonitor), "RadioButtonRC");
    // The two channel buttons are one choice of their own, apart from the mode buttons.
    RadioButtonLC->setAutoExclusive(false);
    RadioButtonRC->setAutoExclusive(false);
    RadioButtonLC->setChecked(true);
    LabelLeftChannel = named(new QLabel(GroupBoxMonitor), "LabelLeftChannel");
    LabelRightChannel = named(new QLabel(GroupBoxMonitor), "LabelRightChannel");
    LabelLeftChannel->setBuddy(RadioButtonLC);
    LabelRightChannel->setBuddy(RadioButtonRC);
    LabelThreshold = named(new QLabel(GroupBoxMonitor), "LabelThreshold");
    TrackBarLC = thresholdBar(GroupBoxMonitor, "TrackBarLC");
    TrackBarRC = thresholdBar(GroupBoxMonitor, "TrackBarRC");
    ProgressBarLeft = levelBar(GroupBoxMonitor, "ProgressBarLeft");
    ProgressBarRight = levelBar(GroupBoxMonitor, "ProgressBarRight");
    CheckBoxUpperCase = named(new QCheckBox(GroupBoxMonitor), "CheckBoxUpperCase");

    int row = 0;
    g->addWidget(LabelMonitor, row++, 0, 1, 4);
    g->addWidget(MemoMonitor, row++, 0, 1, 4);
    g->addWidget(RadioButtonLC, row, 0);
    g->addWidget(LabelLeftChannel, row, 1);
    g->addWidget(RadioButtonRC, row, 2);
    g->addWidget(LabelRightChannel, row++, 3);
    g->addWidget(LabelThreshold, row++, 0, 1, 4, Qt::AlignHCenter);
    g->addWidget(TrackBarLC, row, 0, 1, 2);
    g->addWidget(TrackBarRC, row++, 2, 1, 2);
    g->addWidget(ProgressBarLeft, row, 0, 1, 2);
    g->addWidget(ProgressBarRight, row++, 2, 1, 2);
    g->addWidget(CheckBoxUpperCase, row++, 0, 1, 4);
    g->setRowStretch(1, 1);

    MenuClearMonitoring = named(new QAction(&f_), "MenuClearMonitoring");
    MenuClearMonitoring->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F5));
    MenuSaveMonitoring = named(new QAction(&f_), "MenuSaveMonitoring");
    MenuSaveMonitoring->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F12));
    f_.MenuOutils->insertActions(f_.MenuOutilsQuit, {MenuClearMonitoring, MenuSaveMonitoring});
    f_.MenuOutils->insertSeparator(f_.MenuOutilsQuit);
}

void MonitorMode::wire() {
    TForm1& f = f_;
    QObject::connect(f.RadioButtonMonitor, &QRadioButton::clicked, &f,
                     [this] { RadioButtonMonitorClick(); });
    QObject::connect(RadioButtonLC, &QRadioButton::clicked, &f, [this] { RadioButtonLCClick(); });
    QObject::connect(RadioButtonRC, &QRadioButton::clicked, &f, [this] { RadioButtonRCClick(); });
    QObject::connect(TrackBarLC, &QSlider::valueChanged, &f, [this] { TrackBarLCChange(); });
    QObject::connect(TrackBarRC, &QSlider::valueChanged, &f, [this] { TrackBarRCChange(); });
    QObject::connect(CheckBoxUpperCase, &QCheckBox::clicked, &f,
                     [this] { CheckBoxUpperCaseClick(); });
    QObject::connect(MenuClearMonitoring, &QAction::triggered, &f,
                     [this] { MenuClearMonitoringClick(); });
    QObject::connect(MenuSaveMonitoring, &QAction::triggered, &f,
                     [this] { MenuSaveMonitoringClick(); });
}

// --- Start-up and settings ---------------------------------------------------------------

void MonitorMode::startUp() {
    const bool right = RadioButtonRC->isChecked();
    decoder_.setRightChannel(right);
    decoder_.setUpperCase(CheckBoxUpperCase->isChecked());
    decoder_.setThreshold(right ? TrackBarRC->value() : TrackBarLC->value());
    decoder_.startUp();
}

void MonitorMode::applySettings(const Settings& s, const SettingsKeys& present) {
    loading_ = true;
    if (present.contains("MONITOR_CASE=")) CheckBoxUpperCase->setChecked(s.monitorUpperCase);
    if (present.contains("MONITOR_CHANNEL=")) {
        RadioButtonLC->setChecked(!s.monitorRightChannel);
        RadioButtonRC->setChecked(s.monitorRightChannel);
    }
    if (present.contains("LEFT_THRESHOLD=")) TrackBarLC->setValue(s.leftThreshold);
    if (present.contains("RIGHT_THRESHOLD=")) TrackBarRC->setValue(s.rightThreshold);
    loading_ = false;
}

void MonitorMode::collectSettings(Settings& s) const {
    s.monitorUpperCase = CheckBoxUpperCase->isChecked();
    s.monitorRightChannel = RadioButtonRC->isChecked();
    s.leftThreshold = TrackBarLC->value();
    s.rightThreshold = TrackBarRC->value();
}

// --- Starting and stopping ---------------------------------------------------------------

void MonitorMode::RadioButtonMonitorClick() {
    PlaybackEngine& engine = f_.play().engine();
    // A character still with the device counts as pending: closing the output under it
    // would leave the text waiting for a notice that never comes.
    if (engine.busy()) {
        f_.ui().beep();
        uncheck(f_.RadioButtonMonitor);
        return;
    }
    GroupBoxMonitor->setEnabled(true);
    f_.showModeView(GroupBoxMonitor);
    f_.quiz().TimerQuiz->stop();
    f_.randomMode().setQuickRandomEnabled(false);
    f_.randomMode().clearPlayRequested();

    decoder_.startMonitoring();

    // The card goes to the input: the output is closed, and the next text opens it again.
    if (!engine.silentMode()) {
        f_.waveOut().reset();
        f_.waveOut().close();
    }
    engine.setInputHeldByMonitor(true);
    closeInput();

    failed_ = false;
    // Unlike the output, the input is tried even when the output failed: one device's
    // absence says nothing about the other's.
    if (const int r = in_->open(f_.soundCard().inputDevice())) {
        inputFailed(r, QString::fromUtf8(f_.texts().shared.msgCannotOpenSoundCard));
    } else if (const int rs = in_->start()) {
        inputFailed(rs, QStringLiteral("WaveInStart"));
    }
    focusTypedText();
}

void MonitorMode::closeInput() {
    // Cleared first: whatever the device still hands over while closing is not decoded.
    inputOpen_ = false;
    if (in_->isOpen()) in_->close();
}

void MonitorMode::inputFailed(int result, const QString& step) {
    closeInput();
    failed_ = true;
    ProgressBarLeft->setValue(0);
    ProgressBarRight->setValue(0);
    const QString reason = QString::fromStdString(portAudioErrorText(result));
    f_.ui().error(&f_, QStringLiteral("Err %1 : %2\n%3. Another input can be chosen under "
                                      "\"Sound card\"; choose Monitoring again to retry.")
                           .arg(result)
                           .arg(step, reason));
}

void MonitorMode::releaseSoundInput() {
    closeInput();
}

void MonitorMode::afterEnd() {
    if (f_.RadioButtonMonitor->isChecked() && !failed_) RadioButtonMonitorClick();
}

// --- The input's notices -----------------------------------------------------------------

void MonitorMode::onNotice(const WaveInNotice& n) {
    switch (n.kind) {
        case WaveInNotice::Kind::Open: inputOpen_ = true; break;
        case WaveInNotice::Kind::Data:
            if (inputOpen_) decode(n);
            break;
        case WaveInNotice::Kind::Failed:
            if (inputOpen_) inputFailed(n.error, QStringLiteral("Add buffer3"));
            break;
    }
}

void MonitorMode::decode(const WaveInNotice& n) {
    decoded_.clear();
    decoder_.decodeBuffer(n.frames, n.frameCount, decoded_);
    if (!decoded_.empty()) {
        MemoMonitor->textCursor().insertText(QString::fromStdString(cp1252ToUtf8(decoded_)));
        MemoMonitor->ensureCursorVisible();
    }
    const auto percent = [](int envelope) {
        return static_cast<int>(nearest(static_cast<Real>(envelope) / 128 * 100));
    };
    ProgressBarLeft->setValue(percent(decoder_.envelopeLeft()));
    ProgressBarRight->setValue(percent(decoder_.envelopeRight()));
}

// --- Channel, thresholds, case -----------------------------------------------------------

void MonitorMode::focusTypedText() {
    f_.Editcaractere->setFocus();
}

void MonitorMode::RadioButtonLCClick() {
    if (loading_) return;
    RadioButtonLC->setChecked(true);
    RadioButtonRC->setChecked(false);
    decoder_.setRightChannel(false);
    decoder_.setThreshold(TrackBarLC->value());
    focusTypedText();
}

void MonitorMode::RadioButtonRCClick() {
    if (loading_) return;
    RadioButtonRC->setChecked(true);
    RadioButtonLC->setChecked(false);
    decoder_.setRightChannel(true);
    decoder_.setThreshold(TrackBarRC->value());
    focusTypedText();
}

// Either bar sets the threshold in use, whichever channel is selected: the user hears the
// effect at once while setting a bar up before switching to its channel.
void MonitorMode::TrackBarLCChange() {
    if (loading_) return;
    decoder_.setThreshold(TrackBarLC->value());
    focusTypedText();
}

void MonitorMode::TrackBarRCChange() {
    if (loading_) return;
    decoder_.setThreshold(TrackBarRC->value());
    focusTypedText();
}

void MonitorMode::CheckBoxUpperCaseClick() {
    if (loading_) return;
    decoder_.setUpperCase(CheckBoxUpperCase->isChecked());
    focusTypedText();
}

// --- The decoded text --------------------------------------------------------------------

void MonitorMode::startNewLine() {
    if (GroupBoxMonitor->isHidden()) return;
    MemoMonitor->appendPlainText(QString());
    MemoMonitor->moveCursor(QTextCursor::End);
}

void MonitorMode::MenuClearMonitoringClick() {
    MemoMonitor->clear();
}

void MonitorMode::MenuSaveMonitoringClick() {
    if (!f_.RadioButtonMonitor->isChecked()) {
        f_.ui().beep();
        return;
    }
    const QString text = MemoMonitor->toPlainText();
    if (text.isEmpty()) {
        f_.ui().warning(&f_, QString::fromUtf8(f_.texts().shared.msgNothingToRecord));
        return;
    }
    const QString path = f_.ui().saveFileName(&f_, QStringLiteral("Monitoring1.txt"),
                                              QString::fromLatin1(SaveFilter));
    if (path.isEmpty()) return;
    f_.state().currentFileName = path.toStdString();
    QStringList lines = text.split(QLatin1Char('\n'));
    // A memo ending in a line break holds no empty line after it.
    if (lines.size() > 1 && lines.back().isEmpty()) lines.removeLast();
    std::vector<std::string> bytes;
    for (const QString& line : lines) bytes.push_back(utf8ToCp1252(line.toStdString()));
    QString error;
    if (!writeCrLfTextFile(path, bytes, error)) {
        f_.ui().error(&f_, QStringLiteral("%1\n%2").arg(path, error));
    }
}

}  // namespace kb
