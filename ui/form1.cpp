#include "ui/form1.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <tuple>

#include "app/app_shell.h"
#include "app/settings_binding.h"
#include "audio/sound_dialogs.h"
#include "keying/keyer.h"
#include "keying/local_characters_panel.h"
#include "keying/message_panel.h"
#include "keying/port_panel.h"
#include "keying/shortcut_panel.h"
#include "modes/demo_window.h"
#include "modes/file_mode.h"
#include "modes/instructor.h"
#include "modes/masked_text_panel.h"
#include "modes/mode.h"
#include "modes/monitor_mode.h"
#include "modes/play_control.h"
#include "modes/quiz_mode.h"
#include "modes/random_mode.h"
#include "modes/record_panel.h"
#include "modes/reference_lists.h"
#include "modes/typed_text.h"
#include "ui/help_window.h"
#include "ui/timing_controls.h"
#include "ui/typed_text_edit.h"
#include "ui/ui_services.h"
#include "ui/widgets.h"

namespace kb {

namespace {

const QStringList PageFullWarnings = {QStringLiteral("LabelLocalPlein"),
                                      QStringLiteral("LabelShortcutPlein")};

QAction* namedAction(QObject* parent, const char* name, const char* caption) {
    auto* a = new QAction(QString::fromUtf8(caption), parent);
    a->setObjectName(QString::fromLatin1(name));
    return a;
}

QPixmap lampPixmap(bool on) {
    QPixmap pm(20, 20);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::darkGray, 1.5));
    p.setBrush(on ? QColor(255, 40, 30) : QColor(90, 20, 20));
    p.drawEllipse(QRectF(2, 2, 16, 16));
    if (on) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 200, 190));
        p.drawEllipse(QRectF(6, 5, 5, 4));
    }
    return pm;
}

// The window's emblem: a straight key over a dot and a dash.
QPixmap logoPixmap() {
    QPixmap pm(33, 33);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(30, 60, 120));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(1, 1, 31, 31), 5, 5);
    p.setBrush(QColor(250, 220, 90));
    p.drawEllipse(QRectF(6, 20, 6, 6));
    p.drawRoundedRect(QRectF(15, 21, 13, 4), 2, 2);
    p.setPen(QPen(QColor(250, 250, 250), 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(7, 13), QPointF(26, 9));
    p.drawLine(QPointF(16, 11), QPointF(16, 16));
    return pm;
}

}  // namespace

namespace {

// The hidden menus' keys (speed, level, quiz delay) act wherever the focus is in the
// window. Qt would otherwise let a line edit take Ctrl+U and Ctrl+D as editing keys, and
// give up on Alt+D when a visible caption also has D as its access key.
class HiddenKeys final : public QObject {
public:
    HiddenKeys(TForm1& form, std::initializer_list<QMenu*> menus) : QObject(&form), form_(form) {
        for (QMenu* m : menus) actions_ += m->actions();
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const bool override = event->type() == QEvent::ShortcutOverride;
        if (!override && event->type() != QEvent::KeyPress) return false;
        auto* w = qobject_cast<QWidget*>(watched);
        if (!w || w->window() != &form_) return false;
        const auto* k = static_cast<QKeyEvent*>(event);
        const QKeySequence pressed(k->keyCombination());
        for (QAction* a : actions_) {
            if (a->shortcut() != pressed || !a->isEnabled()) continue;
            // Claimed as a key press, so no shortcut resolution happens; pressed, it acts.
            if (override) {
                event->accept();
            } else {
                a->trigger();
            }
            return true;
        }
        return false;
    }

private:
    TForm1& form_;
    QList<QAction*> actions_;
};

}  // namespace

TForm1::TForm1(const FormDevices& devices, QWidget* parent)
    : QMainWindow(parent),
      waveOut_(devices.waveOut),
      ownKeying_(devices.keyer ? nullptr : std::make_unique<NoTransmitter>()),
      keying_(devices.keyer ? static_cast<TransmitterKeying*>(devices.keyer) : ownKeying_.get()),
      ui_(devices.ui),
      texts_(&languageTexts(Language::English)),
      arguments_(devices.arguments),
      keyer_(devices.keyer) {
    random_.seed(devices.randomSeed);
    setObjectName(QStringLiteral("Form1"));
    setWindowIcon(QIcon(logoPixmap()));
    // A system menu and a minimise button, no maximise button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);

    shell_ = std::make_unique<AppShell>(*this);
    settings_ = std::make_unique<SettingsBinding>(*this, devices.settingsPath, devices.settingsOps);

    auto* central = new QWidget(this);
    auto* row = new QHBoxLayout(central);
    auto* column = new QWidget(central);
    buildLeftColumn(column);
    row->addWidget(column, 0);
    RightArea = named(new QWidget(central), "RightArea");
    row->addWidget(RightArea, 1);
    setCentralWidget(central);
    buildRightArea();
    buildMenus();
    // The controllers wire their own widgets; the play control first, since the modes
    // register with it.
    play_ = std::make_unique<PlayControl>(*this);
    timing_ = std::make_unique<TimingControls>(*this);
    typed_ = std::make_unique<TypedTextMode>(*this);
    lists_ = std::make_unique<ReferenceLists>(*this);
    file_ = std::make_unique<FileMode>(*this);
    random_mode_ = std::make_unique<RandomMode>(*this);
    quiz_ = std::make_unique<QuizMode>(*this);
    monitor_ = std::make_unique<MonitorMode>(*this, devices.waveIn);
    maskedText_ = std::make_unique<MaskedTextPanel>(*this);
    record_ = std::make_unique<RecordPanel>(*this);
    localCharacters_ = std::make_unique<LocalCharactersPanel>(*this);
    shortcutPanel_ = std::make_unique<ShortcutPanel>(*this);
    messages_ = std::make_unique<MessagePanel>(*this);
    soundCard_ = std::make_unique<SoundCardPanel>(*this, devices.devices);
    new HelpMenu(*this);  // F1 and F2; a child of the window
    if (keyer_) {
        portPanel_ = std::make_unique<PortPanel>(*this, *keyer_);
        // A serial line that fails on the keying thread is handled here, on the GUI thread.
        keyer_->setLineFaultNotifier([this] {
            QMetaObject::invokeMethod(
                this, [this] { portPanel_->handleLineFault(); }, Qt::QueuedConnection);
        });
    } else {
        MenuPort->setVisible(false);
    }
    for (Language lang : AllLanguages) {
        connect(languageItem(lang), &QAction::triggered, this,
                [this, lang] { ApplyLanguage(lang); });
    }

    // The secondary windows, in their creation order.
    FormNoise = new TFormNoise(*this);
    FormQSB = new TFormQSB(*this);
    FormNote = new TFormNote(*this);
    FormInstructor = new TFormInstructor(*this);
    FormDemo = new TFormDemo(*this);

    wire();
    new HiddenKeys(*this, {MenuSpeed, MenuVolume, MenuDelai});
    orderToolsMenu();
    orderOptionsMenu();
    showInertKeys();

    fitWindowToTexts();
    Editcaractere->setFocus();
}

TForm1::~TForm1() {
    if (keyer_) keyer_->setLineFaultNotifier(nullptr);
}

void TForm1::buildLeftColumn(QWidget* column) {
    auto* v = new QVBoxLayout(column);
    v->setContentsMargins(0, 0, 0, 0);

    Panel1 = named(new QFrame(column), "Panel1");
    Panel1->setFrameShape(QFrame::StyledPanel);
    auto* p1 = new QGridLayout(Panel1);
    Label1 = named(new QLabel(Panel1), "Label1");
    Editcaractere = named(new TypedTextEdit(*this, Panel1), "Editcaractere");
    Editcaractere->setMinimumWidth(200);
    SpeedButtonRAZtext = named(new QToolButton(Panel1), "SpeedButtonRAZtext");
    SpeedButtonRAZtext->setText(QStringLiteral("\u2715"));
    p1->addWidget(Label1, 0, 0, 1, 2);
    p1->addWidget(Editcaractere, 1, 0);
    p1->addWidget(SpeedButtonRAZtext, 1, 1);
    auto* msgRow = new QHBoxLayout;
    LabelMsg = named(new QLabel(QStringLiteral("MSG # >>"), Panel1), "LabelMsg");
    msgRow->addWidget(LabelMsg);
    for (int k = 0; k < 6; ++k) {
        const QByteArray name = "ButtonMsg" + QByteArray::number(k + 1);
        ButtonMsg[k] = named(new QPushButton(QString::number(k + 1), Panel1), name.constData());
        ButtonMsg[k]->setFixedWidth(
            ButtonMsg[k]->fontMetrics().horizontalAdvance(QStringLiteral("MM")) + 8);
        msgRow->addWidget(ButtonMsg[k]);
        addActivityControl(ButtonMsg[k]);
    }
    msgRow->addStretch();
    p1->addLayout(msgRow, 2, 0, 1, 2);
    v->addWidget(Panel1);

    auto* middle = new QHBoxLayout;
    GroupBoxControls = named(new QGroupBox(column), "GroupBoxControls");
    auto* gc = new QVBoxLayout(GroupBoxControls);
    ButtonReplayText = named(new QPushButton(GroupBoxControls), "ButtonReplayText");
    ButtonReplayText->setCheckable(true);
    ButtonReplayText->setEnabled(false);
    ButtonPlayFile = named(new QPushButton(GroupBoxControls), "ButtonPlayFile");
    ButtonPlayFile->setCheckable(true);
    ButtonPlayFile->setEnabled(false);
    ButtonContinueFile = named(new QPushButton(GroupBoxControls), "ButtonContinueFile");
    ButtonContinueFile->setCheckable(true);
    ButtonContinueFile->setEnabled(false);
    ButtonContinueFile->hide();
    ButtonQuitter = named(new QPushButton(GroupBoxControls), "ButtonQuitter");
    ButtonStop = named(new QPushButton(QStringLiteral("Stop"), GroupBoxControls), "ButtonStop");
    ButtonStop->hide();
    Label8 = named(new QLabel(GroupBoxControls), "Label8");
    UpDownVitesse = named(new QSpinBox(GroupBoxControls), "UpDownVitesse");
    UpDownVitesse->setRange(MinSpeed, MaxSpeed);
    UpDownVitesse->setValue(12);
    EditVitesse = named(UpDownVitesse->findChild<QLineEdit*>(), "EditVitesse");
    EditVitesse->setReadOnly(true);
    EditVitesse->setToolTip(QStringLiteral("Min=5, max=50"));
    Label6 = named(new QLabel(GroupBoxControls), "Label6");
    UpDownAmplitude = named(new QSpinBox(GroupBoxControls), "UpDownAmplitude");
    UpDownAmplitude->setRange(MinLevelDb, MaxLevelDb);
    UpDownAmplitude->setSingleStep(3);
    UpDownAmplitude->setValue(DefaultLevelDb);
    EditAmplitude = named(UpDownAmplitude->findChild<QLineEdit*>(), "EditAmplitude");
    EditAmplitude->setReadOnly(true);
    EditAmplitude->setToolTip(QStringLiteral("Min=-15, max=0"));
    // The group is as tall as the Choice column beside it: the spare height is shared
    // out between the buttons and the two settings, as the choices share theirs, never
    // left as a blank strip at the foot.
    for (QWidget* w : std::initializer_list<QWidget*>{
             ButtonReplayText, nullptr, ButtonPlayFile, ButtonContinueFile, nullptr, ButtonQuitter,
             ButtonStop, nullptr, Label8, UpDownVitesse, nullptr, Label6, UpDownAmplitude}) {
        if (w) {
            gc->addWidget(w);
        } else {
            gc->addStretch(1);
        }
    }
    middle->addWidget(GroupBoxControls);

    auto* right = new QVBoxLayout;
    GroupBoxChoix = named(new QGroupBox(column), "GroupBoxChoix");
    auto* gch = new QVBoxLayout(GroupBoxChoix);
    RadioButtonAlphabet = named(new QRadioButton(GroupBoxChoix), "RadioButtonAlphabet");
    RadioButtonCodeQ = named(new QRadioButton(GroupBoxChoix), "RadioButtonCodeQ");
    RadioButtonAbrev = named(new QRadioButton(GroupBoxChoix), "RadioButtonAbrev");
    RadioButtonRandom = named(new QRadioButton(GroupBoxChoix), "RadioButtonRandom");
    RadioButtonFile = named(new QRadioButton(GroupBoxChoix), "RadioButtonFile");
    RadioButtonQuiz = named(new QRadioButton(GroupBoxChoix), "RadioButtonQuiz");
    RadioButtonMonitor = named(new QRadioButton(GroupBoxChoix), "RadioButtonMonitor");
    for (QRadioButton* r :
         {RadioButtonAlphabet, RadioButtonCodeQ, RadioButtonAbrev, RadioButtonRandom,
          RadioButtonFile, RadioButtonQuiz, RadioButtonMonitor}) {
        gch->addWidget(r);
    }
    RadioButtonAlphabet->setChecked(true);
    for (QRadioButton* r :
         {RadioButtonAlphabet, RadioButtonCodeQ, RadioButtonAbrev, RadioButtonRandom,
          RadioButtonFile, RadioButtonQuiz, RadioButtonMonitor}) {
        addActivityControl(r);
    }
    right->addWidget(GroupBoxChoix, 1);

    auto* lampRow = new QHBoxLayout;
    OnairBox = named(new QGroupBox(column), "OnairBox");
    auto* ob = new QHBoxLayout(OnairBox);
    LedOff = named(new QLabel(OnairBox), "LedOff");
    LedOff->setPixmap(lampPixmap(false));
    LedOn = named(new QLabel(OnairBox), "LedOn");
    LedOn->setPixmap(lampPixmap(true));
    LedOn->hide();
    ob->addWidget(LedOff);
    ob->addWidget(LedOn);
    lampRow->addWidget(OnairBox);
    Image1 = named(new QLabel(column), "Image1");
    const int logo = qRound(33 * layoutScale());
    Image1->setPixmap(
        logoPixmap().scaled(logo, logo, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    Image1->setFixedSize(logo, logo);
    lampRow->addWidget(Image1);
    right->addLayout(lampRow);
    middle->addLayout(right);
    v->addLayout(middle, 1);

    Panel2 = named(new QFrame(column), "Panel2");
    Panel2->setFrameShape(QFrame::StyledPanel);
    auto* p2 = new QHBoxLayout(Panel2);
    Label5 = named(new QLabel(Panel2), "Label5");
    Label5->setWordWrap(true);
    p2->addWidget(Label5);
    v->addWidget(Panel2);

    Button1 = named(new QPushButton(QStringLiteral("Start"), column), "Button1");
    Button1->hide();
}

// The mode views and the side panels all share the one cell of the right-hand area: a
// view fills it, a panel sits over its lower part at the height it needs.
void TForm1::buildRightArea() {
    auto* grid = new QGridLayout(RightArea);
    grid->setContentsMargins(0, 0, 0, 0);
}

void TForm1::addModeView(QWidget* view) {
    view->setParent(RightArea);
    static_cast<QGridLayout*>(RightArea->layout())->addWidget(view, 0, 0);
}

void TForm1::addSidePanel(QWidget* panel, std::function<void()> close, bool stopPassesOver) {
    panel->setParent(RightArea);
    panel->hide();
    // It covers the view beneath it: the list must not show through.
    panel->setAutoFillBackground(true);
    static_cast<QGridLayout*>(RightArea->layout())->addWidget(panel, 0, 0, Qt::AlignBottom);
    registerSidePanel(panel, std::move(close), stopPassesOver);
}

double TForm1::layoutScale() const {
    return std::max(1.0, logicalDpiY() / 96.0);
}

void TForm1::fitWindowToTexts() {
    // Before the window is first shown its widgets have not taken the style's fonts and
    // sizes yet.
    ensurePolished();
    // A button that changes its caption, or gives its place to another, keeps the width
    // of the widest, so the column does not grow under a fixed window.
    const auto reserve = [](std::initializer_list<QPushButton*> buttons, const QStringList& texts) {
        int width = 0;
        for (QPushButton* b : buttons) {
            b->setMinimumWidth(0);
            width = std::max(width, b->sizeHint().width());
            const int padding =
                b->sizeHint().width() - b->fontMetrics().horizontalAdvance(b->text());
            for (const QString& t : texts) {
                width = std::max(width, padding + b->fontMetrics().horizontalAdvance(t));
            }
        }
        for (QPushButton* b : buttons) b->setMinimumWidth(width);
    };
    reserve({ButtonReplayText}, {QString::fromUtf8(texts_->shared.replayTextCaption).remove('&'),
                                 QString::fromUtf8(texts_->shared.resumeTextCaption).remove('&')});
    reserve({ButtonPlayFile, ButtonContinueFile}, {});
    reserve({ButtonQuitter, ButtonStop}, {});

    const double scale = layoutScale();
    // The right-hand area takes its largest view or panel, and at least its design size.
    QSize area(qRound(385 * scale), qRound(425 * scale));
    for (QWidget* w : RightArea->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (w->isWindow()) continue;  // a panel dragged out of the window
        area = area.expandedTo(w->sizeHint()).expandedTo(w->minimumSizeHint());
    }
    RightArea->setMinimumSize(area);
    centralWidget()->layout()->invalidate();
    centralWidget()->layout()->activate();
    layout()->invalidate();
    layout()->activate();
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    const QSize design(qRound(646 * scale), qRound(490 * scale));
    setFixedSize(sizeHint().expandedTo(design));
}

void TForm1::registerSidePanel(QWidget* panel, std::function<void()> close, bool stopPassesOver) {
    sidePanels_.push_back({panel, std::move(close), stopPassesOver});
    panel->installEventFilter(this);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    // No quiz question can be asked while any side panel is open: what the panel changes
    // (the set, the spacing, the devices) must not change under a question.
    // (ShowToParent and HideToParent also come while the window itself is hidden.)
    // A panel opens over the mode view, whichever was built last; one whose texts grew
    // since the window was fitted makes it fit again.
    if (event->type() == QEvent::ShowToParent) {
        auto* panel = static_cast<QWidget*>(watched);
        panel->raise();
        const QSize need = panel->minimumSizeHint();
        if (!panel->isWindow() && (need.width() > RightArea->minimumWidth() ||
                                   need.height() > RightArea->minimumHeight())) {
            fitWindowToTexts();
        }
    }
    if ((event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent) && quiz_) {
        const bool anyOpen = std::any_of(sidePanels_.begin(), sidePanels_.end(),
                                         [](const SidePanel& p) { return !p.panel->isHidden(); });
        quiz_->setOkEnabled(!anyOpen);
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::buildMenus() {
    QMenuBar* bar = menuBar();

    MenuOutils = named(bar->addMenu(QString()), "MenuOutils");
    MenuOutilsQuit = namedAction(this, "MenuOutilsQuit", "&Quit");
    MenuOutils->addAction(MenuOutilsQuit);

    MenuComm = named(bar->addMenu(QString()), "MenuComm");
    MenuComm->setToolTipsVisible(true);  // the spacing item has a hint
    Spacing1 = namedAction(this, "Spacing1", "&Spacing between characters");
    Spacing1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F1));
    MenuComm->addAction(Spacing1);

    MenuEspaceMot = named(MenuComm->addMenu(QString()), "MenuEspaceMot");
    auto* wordGroup = new QActionGroup(this);
    for (int k = 0; k < 4; ++k) {
        const QByteArray name = "MenuEspaceMot" + QByteArray::number(k + 1);
        const QByteArray caption = "x " + QByteArray::number(k + 1);
        MenuEspaceMotN[k] = namedAction(this, name.constData(), caption.constData());
        MenuEspaceMotN[k]->setCheckable(true);
        wordGroup->addAction(MenuEspaceMotN[k]);
        MenuEspaceMot->addAction(MenuEspaceMotN[k]);
    }
    MenuEspaceMotN[0]->setChecked(true);

    Poids = named(MenuComm->addMenu(QString()), "Poids");
    auto* weightGroup = new QActionGroup(this);
    Poids31 = namedAction(this, "Poids31", "&3/1 normal");
    Poids41 = namedAction(this, "Poids41", "&4/1");
    Poids51 = namedAction(this, "Poids51", "&5/1");
    for (QAction* a : {Poids31, Poids41, Poids51}) {
        a->setCheckable(true);
        weightGroup->addAction(a);
        Poids->addAction(a);
    }
    Poids31->setChecked(true);

    MenuTextreplay = named(MenuComm->addMenu(QString()), "MenuTextreplay");
    MenuDelayedPlay = namedAction(this, "MenuDelayedPlay", "&Delayed Play");
    MenuDelayedPlay->setCheckable(true);
    // No key: Ctrl+Shift+F7 belongs to Tools / Shortcuts (two actions on one key fire
    // neither).
    MenuTextreplay->addAction(MenuDelayedPlay);
    MenuContinuous = named(MenuTextreplay->addMenu(QString()), "MenuContinuous");
    auto* loopGroup = new QActionGroup(this);
    MenuNoBoucle = namedAction(this, "MenuNoBoucle", "No");
    MenuStanby1s = namedAction(this, "MenuStanby1s", "Standby 1s");
    MenuStandby10s = namedAction(this, "MenuStandby10s", "Standby 10s");
    MenuStandby60s = namedAction(this, "MenuStandby60s", "Standby 1mn");
    menuStandby300s = namedAction(this, "menuStandby300s", "Standby 5mn");
    for (QAction* a :
         {MenuNoBoucle, MenuStanby1s, MenuStandby10s, MenuStandby60s, menuStandby300s}) {
        a->setCheckable(true);
        loopGroup->addAction(a);
        MenuContinuous->addAction(a);
    }
    MenuNoBoucle->setChecked(true);

    MenuNote = namedAction(this, "MenuNote", "No&te");
    MenuNoisesettings = namedAction(this, "MenuNoisesettings", "&Noise settings");
    MenuQSBsetting = namedAction(this, "MenuQSBsetting", "QSB setting");
    MenuInstructor = namedAction(this, "MenuInstructor", "Instructor limitations");
    MenuComm->addAction(MenuNote);
    MenuComm->addAction(MenuNoisesettings);
    MenuComm->addAction(MenuQSBsetting);
    MenuComm->addAction(MenuInstructor);

    // The language items keep their own names in every language.
    Language1 = named(MenuComm->addMenu(QString()), "Language1");
    auto* languageGroup = new QActionGroup(this);
    const struct {
        QAction** item;
        const char* name;
        const char* caption;
        Qt::Key key;
    } languages[] = {
        {&Deutsch1, "Deutsch1", "&Deutsch", Qt::Key_F10},
        {&English1, "English1", "&English", Qt::Key_F11},
        {&Espagnol1, "Espagnol1", "E&spa\u00f1ol", Qt::Key_F7},
        {&Francais1, "Francais1", "&Fran\u00e7ais", Qt::Key_F12},
        {&Italiano1, "Italiano1", "&Italiano", Qt::Key_F9},
        {&Portugues1, "Portugues1", "&Portugu\u00eas", Qt::Key_F8},
    };
    for (const auto& l : languages) {
        *l.item = namedAction(this, l.name, l.caption);
        (*l.item)->setShortcut(QKeySequence(Qt::CTRL | l.key));
        (*l.item)->setCheckable(true);
        languageGroup->addAction(*l.item);
        Language1->addAction(*l.item);
    }
    English1->setChecked(true);

    MenuPort = namedAction(this, "MenuPort", "&Port");
    bar->addAction(MenuPort);
    MenuSoundCard = namedAction(this, "MenuSoundCard", "Sound card");
    bar->addAction(MenuSoundCard);

    N6 = named(bar->addMenu(QStringLiteral("?")), "N6");
    MenuHelp = namedAction(this, "MenuHelp", "&Help");
    MenuHelp->setShortcut(QKeySequence(Qt::Key_F1));
    About1 = namedAction(this, "About1", "&Info");
    About1->setShortcut(QKeySequence(Qt::Key_F2));
    N6->addAction(MenuHelp);
    N6->addAction(About1);

    // Hidden menus: their items only carry keys that act while the window has the focus.
    UpSpeed = namedAction(this, "UpSpeed", "UpSpeed");
    UpSpeed->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_U));
    DownSpeed = namedAction(this, "DownSpeed", "DownSpeed");
    DownSpeed->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    UpVolume = namedAction(this, "UpVolume", "UpVolume");
    UpVolume->setShortcut(QKeySequence(Qt::ALT | Qt::Key_U));
    DownVolume = namedAction(this, "DownVolume", "DownVolume");
    DownVolume->setShortcut(QKeySequence(Qt::ALT | Qt::Key_D));
    MenuSpeed = named(new QMenu(this), "MenuSpeed");
    MenuVolume = named(new QMenu(this), "MenuVolume");
    MenuDelai = named(new QMenu(this), "MenuDelai");
    for (auto [menu, up, down] : {std::tuple{MenuSpeed, UpSpeed, DownSpeed},
                                  std::tuple{MenuVolume, UpVolume, DownVolume}}) {
        for (QAction* a : {up, down}) {
            a->setShortcutContext(Qt::WindowShortcut);
            menu->addAction(a);
            addAction(a);
        }
    }
}

void TForm1::wire() {
    connect(ButtonQuitter, &QPushButton::clicked, this, [this] { shell_->ButtonQuitterClick(); });
    connect(MenuOutilsQuit, &QAction::triggered, this, [this] { shell_->MenuOutilsQuitClick(); });
    connect(MenuPort, &QAction::triggered, this, [this] {
        if (portPanel_) portPanel_->MenuPortClick();
    });
    connect(MenuSoundCard, &QAction::triggered, this, [this] { soundCard_->MenuSoundCardClick(); });
    auto showDialog = [](QDialog* d) {
        d->show();
        d->raise();
        d->activateWindow();
    };
    connect(MenuNote, &QAction::triggered, this, [this, showDialog] { showDialog(FormNote); });
    connect(MenuNoisesettings, &QAction::triggered, this,
            [this, showDialog] { showDialog(FormNoise); });
    connect(MenuQSBsetting, &QAction::triggered, this, [this, showDialog] { showDialog(FormQSB); });
}

// Each controller adds its own Tools items as it is built, so the menu is put into its
// classic order once they all exist: users find the items where they always were.
void TForm1::orderToolsMenu() {
    static constexpr const char* Order[] = {"ClearMemoRandom",
                                            "SaveMemoRandom1",
                                            "MenuRecordMemoRandom",
                                            "MenuQuickRandom",
                                            "-",
                                            "MenuSaveTextWave",
                                            "-",
                                            "MenuSaveMonitoring",
                                            "MenuClearMonitoring",
                                            "-",
                                            "MenuLocalCharacters",
                                            "MenuLocalShortcuts",
                                            "MenuLocallesson",
                                            "MenuLocalMessages",
                                            "-",
                                            "MenuOutilsQuit"};
    orderMenu(MenuOutils, Order, MenuOutilsQuit);
}

void TForm1::orderOptionsMenu() {
    static constexpr const char* Order[] = {
        "Randomcaracters1", "Spacing1", "MenuEspaceMot",     "Poids",
        "MenuTextreplay",   "MenuNote", "MenuNoisesettings", "MenuQSBsetting",
        "MenuInstructor",   "Language1"};
    orderMenu(MenuComm, Order, Language1->menuAction());
}

// Puts a menu's items in the order of `order` ("-" a separator); an item the order does
// not name still appears, above `unknownBefore`.
void TForm1::orderMenu(QMenu* menu, std::span<const char* const> order, QAction* unknownBefore) {
    const QList<QAction*> before = menu->actions();
    for (QAction* a : before) {
        menu->removeAction(a);
        if (a->isSeparator() && a->parent() == menu) a->deleteLater();
    }
    for (const char* name : order) {
        const QString n = QString::fromLatin1(name);
        if (name[0] == '-') {
            menu->addSeparator();
        } else if (auto* a = findChild<QAction*>(n)) {
            menu->addAction(a);
        } else if (auto* m = findChild<QMenu*>(n)) {
            menu->addAction(m->menuAction());
        }
    }
    for (QAction* a : before) {
        if (!a->isSeparator() && !menu->actions().contains(a)) menu->insertAction(unknownBefore, a);
    }
}

void TForm1::showInertKeys() {
    const std::pair<QAction*, QKeySequence> keys[] = {
        {MenuDelayedPlay, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F7)},
        {MenuContinuous->menuAction(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F8)},
        {MenuEspaceMot->menuAction(), QKeySequence(Qt::CTRL | Qt::Key_F2)},
        {random_mode_->MenuWordslength->menuAction(), QKeySequence(Qt::Key_F3)},
    };
    for (const auto& [item, key] : keys) {
        const QString caption = item->text().section(QLatin1Char('\t'), 0, 0);
        item->setText(caption + QLatin1Char('\t') + key.toString(QKeySequence::NativeText));
    }
}

void TForm1::showStop(bool stop) {
    ButtonStop->setVisible(stop);
    ButtonQuitter->setVisible(!stop);
}

void TForm1::addActivityControl(QWidget* control, const Mode* owner) {
    for (ActivityControl& a : activityControls_) {
        if (a.control == control) {
            a.owner = owner;
            return;
        }
    }
    activityControls_.push_back({control, owner});
}

void TForm1::setActivityControlsEnabled(bool enabled) {
    for (const ActivityControl& a : activityControls_) {
        if (enabled || !a.owner || !a.owner->playing()) a.control->setEnabled(enabled);
    }
}

void TForm1::refreshLamp() {
    const bool on = keying_->onAir();
    LedOn->setVisible(on);
    LedOff->setVisible(!on);
}

Language TForm1::language() const {
    for (Language lang : AllLanguages) {
        if (languageItem(lang)->isChecked()) return lang;
    }
    return Language::English;
}

QAction* TForm1::languageItem(Language lang) const {
    switch (lang) {
        case Language::French: return Francais1;
        case Language::German: return Deutsch1;
        case Language::Italian: return Italiano1;
        case Language::Portuguese: return Portugues1;
        case Language::Spanish: return Espagnol1;
        case Language::English: break;
    }
    return English1;
}

void TForm1::ApplyLanguage(Language lang, bool force) {
    // Qt checks a menu's radio item before it reports the click, so the texts in place,
    // not the tick, tell whether the language is new.
    if (lang == texts_->language && !force) return;
    languageItem(lang)->setChecked(true);
    texts_ = &languageTexts(lang);
    summaryWords_ = texts_->summary;
    if (const QString point = QLocale::system().decimalPoint(); point.size() == 1) {
        summaryWords_.decimalPoint = point.at(0).toLatin1() ? point.at(0).toLatin1() : '.';
    }
    setWindowTitle(QString::fromUtf8(texts_->title));
    Label5->setText(QString::fromUtf8(texts_->banner));
    for (const CaptionEntry& e : texts_->captions) {
        const QString name = QString::fromLatin1(e.control);
        const QString text = QString::fromUtf8(e.text);
        if (QWidget* w = findChild<QWidget*>(name)) {
            // The page-full warnings are empty unless the page is full: their panels
            // say it (below), from the page's state, so one never appears by a switch.
            if (PageFullWarnings.contains(name)) continue;
            if (e.property == TextProperty::Hint) {
                w->setToolTip(text);
            } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
                b->setText(text);
            } else if (auto* l = qobject_cast<QLabel*>(w)) {
                l->setText(text);
            } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
                g->setTitle(text);
            } else if (auto* m = qobject_cast<QMenu*>(w)) {
                m->setTitle(text);
            }
        } else if (auto* a = findChild<QAction*>(name)) {
            if (e.property == TextProperty::Hint) {
                a->setToolTip(text);
                a->setStatusTip(text);
            } else {
                a->setText(text);
            }
        }
    }
    ButtonReplayText->setText(QString::fromUtf8(typed_->replayCaptionShown()
                                                    ? texts_->shared.replayTextCaption
                                                    : texts_->shared.resumeTextCaption));
    // The texts composed from the shared words: the real speed and the summaries, the
    // Hide/Show captions from each text's hide state, the character-set name.
    if (timing_) timing_->refreshSpeedTexts();
    if (random_mode_) random_mode_->languageChanged();
    if (lists_) lists_->writeLanguageRows(texts_->language);
    if (file_) file_->languageChanged();
    if (messages_) messages_->languageChanged();
    if (localCharacters_) localCharacters_->showFullLabel();
    if (shortcutPanel_) shortcutPanel_->showFullLabel();
    showInertKeys();
    fitWindowToTexts();
}

bool TForm1::closeOpenSidePanel(PanelCloser by) {
    for (const SidePanel& p : sidePanels_) {
        if (by == PanelCloser::StopOrQuit && p.stopPassesOver) continue;
        if (!p.panel->isHidden()) {
            p.close();
            return true;
        }
    }
    return false;
}

void TForm1::openSidePanel(QWidget* panel) {
    // Not through closeOpenSidePanel: its menu key pressed again would wipe the panel.
    for (const SidePanel& p : sidePanels_) {
        if (p.panel != panel && !p.panel->isHidden()) p.close();
    }
    panel->show();
}

void TForm1::showModeView(QWidget* view) {
    for (QWidget* w : RightArea->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        const bool sidePanel = std::any_of(sidePanels_.begin(), sidePanels_.end(),
                                           [w](const SidePanel& p) { return p.panel == w; });
        if (w != view && !sidePanel) w->hide();
    }
    view->show();
}

void TForm1::focusAfterSidePanel() {
    if (typed_->replayOn()) {
        Editcaractere->setFocus();
    } else if (file_->fileModeOn()) {
        file_->FileEdit->setFocus();
    } else if (!random_mode_->runOn()) {
        Editcaractere->setFocus();
    }
}

void TForm1::closeEvent(QCloseEvent* event) {
    shell_->FormClose();
    event->accept();
}

}  // namespace kb
