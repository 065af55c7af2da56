// The main window's frame: the menu table, the fixed size with its views and panels, and
// the pitch scale of the tone dialog.

#include <gtest/gtest.h>
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <cmath>
#include <tuple>

#include "audio/sound_dialogs.h"
#include "support/window_harness.h"

namespace kb {
namespace {

class WindowLayoutTest : public test::WindowTest {
protected:
    void SetUp() override {
        test::WindowOptions o;
        o.show = true;
        create(o);
    }
    QAction* item(const char* name) {
        if (auto* a = form->findChild<QAction*>(QString::fromLatin1(name))) return a;
        auto* m = form->findChild<QMenu*>(QString::fromLatin1(name));
        return m ? m->menuAction() : nullptr;
    }
    static QString names(const QList<QAction*>& actions) {
        QStringList out;
        for (const QAction* a : actions) {
            const auto* m = a->menu();
            out << (a->isSeparator() ? QStringLiteral("-") : m ? m->objectName() : a->objectName());
        }
        return out.join(QLatin1Char(' '));
    }
};

TEST_F(WindowLayoutTest, MenusFollowTheClassicTable) {
    EXPECT_EQ(names(form->menuBar()->actions()).toStdString(),
              "MenuOutils MenuComm MenuPort MenuSoundCard N6");
    EXPECT_EQ(names(form->MenuComm->actions()).toStdString(),
              "Randomcaracters1 Spacing1 MenuEspaceMot Poids MenuTextreplay MenuNote "
              "MenuNoisesettings MenuQSBsetting MenuInstructor Language1");
    enum State { Plain, Checked, Disabled, KeyShownOnly };
    const struct {
        const char* name;
        const char* key;
        State state;
    } rows[] = {
        {"ClearMemoRandom", "Ctrl+Shift+F1", Plain},
        {"MenuQuickRandom", "Ctrl+Shift+F11", Disabled},
        {"MenuSaveTextWave", "Ctrl+Shift+F6", Plain},
        {"MenuLocalShortcuts", "Ctrl+Shift+F7", Plain},
        {"MenuLocalMessages", "Ctrl+Shift+F8", Plain},
        {"MenuLetters", "F5", Plain},
        {"MenuAll", "F10", Checked},
        {"MenuAddV", "F12", Plain},
        {"MenuWordslength", "F3", KeyShownOnly},
        {"MenuFixedWords5", "", Checked},
        {"menuCallsigns", "", Disabled},
        {"Spacing1", "Ctrl+F1", Plain},
        {"MenuEspaceMot", "Ctrl+F2", KeyShownOnly},
        {"MenuEspaceMot1", "", Checked},
        {"Poids31", "", Checked},
        {"MenuDelayedPlay", "Ctrl+Shift+F7", KeyShownOnly},
        {"MenuContinuous", "Ctrl+Shift+F8", KeyShownOnly},
        {"MenuNoBoucle", "", Checked},
        {"MenuMaskedtext", "Ctrl+Shift+F9", Plain},
        {"English1", "Ctrl+F11", Checked},
        {"Espagnol1", "Ctrl+F7", Plain},
        {"MenuHelp", "F1", Plain},
        {"About1", "F2", Plain},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        QAction* a = item(r.name);
        ASSERT_NE(a, nullptr);
        const QKeySequence key = QKeySequence::fromString(QString::fromLatin1(r.key));
        EXPECT_EQ(a->shortcut(), r.state == KeyShownOnly ? QKeySequence() : key);
        EXPECT_EQ(a->text().endsWith(QLatin1Char('\t') + key.toString(QKeySequence::NativeText)),
                  r.state == KeyShownOnly);
        EXPECT_EQ(a->isChecked(), r.state == Checked);
        EXPECT_EQ(a->isEnabled(), r.state != Disabled);
    }
    // A submenu is no switch; a language switch keeps the keys shown once.
    EXPECT_FALSE(item("MenuContinuous")->isCheckable());
    form->ApplyLanguage(Language::French);
    EXPECT_EQ(item("MenuDelayedPlay")->text().count(QLatin1Char('\t')), 1);
}

TEST_F(WindowLayoutTest, TheWindowIsFixedAndEveryPanelOpensInsideTheRightHandArea) {
    for (Language lang : {Language::English, Language::German}) {
        form->ApplyLanguage(lang);
        QApplication::processEvents();
        EXPECT_EQ(form->minimumSize(), form->maximumSize());
        EXPECT_EQ(form->size(), form->minimumSize());
        EXPECT_GE(form->RightArea->height(), 425);
        for (const char* name : {"PanelChoixRandom", "PanelEspace", "PanelMaskedText",
                                 "PanelLocalLesson", "PanelLocalCharacters", "PanelLocalShortcut",
                                 "PanelMsg", "PanelTextRecord", "PanelCarteSon"}) {
            SCOPED_TRACE(name);
            auto* panel = form->RightArea->findChild<QWidget*>(QString::fromLatin1(name));
            ASSERT_NE(panel, nullptr);
            form->openSidePanel(panel);
            QApplication::processEvents();
            const QRect at = panel->geometry();
            const QRect area = form->RightArea->rect();
            EXPECT_TRUE(area.contains(at)) << at.y() << " " << at.height();
            EXPECT_EQ(at.bottom(), area.bottom());  // over the lower part
            EXPECT_GE(at.height(), panel->minimumSizeHint().height());
            EXPECT_GE(at.width(), panel->minimumSizeHint().width());
        }
        form->closeOpenSidePanel();
        EXPECT_EQ(form->minimumSize(), form->maximumSize());
    }
}

TEST_F(WindowLayoutTest, EachPitchLabelStandsAtThePositionThatSoundsIt) {
    TFormNote& note = *form->FormNote;
    note.show();
    QApplication::processEvents();
    QSlider* bar = note.TrackBarNote;
    // The track bar's position whose handle is level with a point.
    const auto positionAt = [bar](QPoint global) {
        QStyleOptionSlider opt;
        opt.initFrom(bar);
        opt.orientation = Qt::Vertical;
        opt.minimum = bar->minimum();
        opt.maximum = bar->maximum();
        opt.upsideDown = !bar->invertedAppearance();
        opt.tickPosition = bar->tickPosition();
        int best = -1;
        int bestDistance = 1 << 20;
        for (int p = bar->minimum(); p <= bar->maximum(); ++p) {
            opt.sliderPosition = opt.sliderValue = p;
            const QRect handle =
                bar->style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, bar);
            const int d = std::abs(bar->mapToGlobal(handle.center()).y() - global.y());
            if (d < bestDistance) std::tie(best, bestDistance) = std::tie(p, d);
        }
        return best;
    };
    for (const int hz : {1500, 1200, 800, 300, 100}) {
        SCOPED_TRACE(hz);
        QLabel* label = nullptr;
        for (QLabel* l : note.findChildren<QLabel*>()) {
            if (l->text() == QStringLiteral("%1 Hz").arg(hz)) label = l;
        }
        ASSERT_NE(label, nullptr);
        EXPECT_TRUE(label->isVisibleTo(&note) &&
                    note.rect().contains(QRect(label->mapTo(&note, QPoint()), label->size())));
        bar->setValue(positionAt(label->mapToGlobal(label->rect().center())));
        EXPECT_EQ(form->soundTables().params().pitch, hz);
    }
}

}  // namespace
}  // namespace kb
