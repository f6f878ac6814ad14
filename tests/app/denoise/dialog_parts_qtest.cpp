// The dialog's parts on their own and where they meet: the settings panel's
// run lock, the keyboard order of the controls, and a full run that refuses a
// destination it cannot fill safely.
#include <QAction>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

#include "dialog_qtest.h"
#include "dialog_testing.h"
#include "settings_panel.h"

using namespace calmora;
using namespace calmora::testing;

namespace {

// A settings panel in a frame with the other controls a run locks.
struct PanelBench {
    PanelBench() : panel(&frame, state) {
        for (QToolButton*& view : views) view = new QToolButton(&frame);
        panel.SetLockedControls({&help, &selectArea, &scroll, &preview, &apply,
                                 {views[0], views[1], views[2]}});
        QObject::connect(&panel, &SettingsPanel::settingsChanged,
                         [this](const RunSettings& s) { state.settings = s; });
    }
    template <typename T>
    T* c(const char* name) const {
        return Control<T>(frame, name);
    }
    [[nodiscard]] QStringList Enabled() const {
        QStringList names;
        for (const char* name : {"TxtSigma", "HScrollSigma", "Txtrw", "HScrollrw", "TxtRed",
                                 "HScrollRed", "TxtGreen", "HScrollGreen", "TxtBlue", "HScrollBlue"})
            if (c<QWidget>(name)->isEnabled()) names << QString::fromLatin1(name);
        const std::pair<const QWidget*, const char*> others[] = {
            {&selectArea, "selectArea"}, {&scroll, "scroll"}, {&preview, "preview"},
            {&apply, "apply"}, {views[0], "original"}, {views[1], "denoised"},
            {views[2], "noise"}};
        for (const auto& [widget, name] : others)
            if (widget->isEnabled()) names << QString::fromLatin1(name);
        if (help.isEnabled()) names << QStringLiteral("help");
        return names;
    }

    PreviewState state;
    QFrame frame;
    QAction help{nullptr};
    QToolButton selectArea{&frame}, scroll{&frame};
    QPushButton preview{&frame}, apply{&frame};
    std::array<QToolButton*, 3> views{};
    SettingsPanel panel;
};

const QStringList kSettings = {"TxtSigma", "HScrollSigma", "Txtrw", "HScrollrw"};
const QStringList kStrengths = {"TxtRed", "HScrollRed", "TxtGreen", "HScrollGreen", "TxtBlue",
                                "HScrollBlue"};

// The host hands over a destination changed by `spoil`.
class SpoiltHost : public FakeHost {
public:
    SpoiltHost(int32_t width, int32_t height, std::function<void(DenoiseDestination&)> spoil)
        : FakeHost(width, height), spoil_(std::move(spoil)) {}
    DenoiseDestination Destination() const override {
        DenoiseDestination d = FakeHost::Destination();
        spoil_(d);
        return d;
    }

private:
    std::function<void(DenoiseDestination&)> spoil_;
};

}  // namespace

class DialogPartsTest : public DialogQTest {
    Q_OBJECT

private slots:
    void lockGivesBackEveryControlAsItWas() {
        PanelBench b;
        b.state.selectionMode = 1;
        b.c<QScrollBar>("HScrollSigma")->setValue(12);
        b.views[1]->setEnabled(false);
        QStringList before = b.Enabled();
        QVERIFY(before.contains(QStringLiteral("preview")));
        QVERIFY(before.contains(QStringLiteral("original")));
        QVERIFY(!before.contains(QStringLiteral("denoised")));

        b.panel.Lock();
        QCOMPARE(b.Enabled(), QStringList());
        b.panel.Unlock();
        QCOMPARE(b.Enabled(), before);
        // A second lock saves the states again, not those of the first.
        b.views[1]->setEnabled(true);
        before = b.Enabled();
        b.panel.Lock();
        b.panel.Unlock();
        QCOMPARE(b.Enabled(), before);
    }

    void ruleDecidedDuringTheLockTakesEffectAtTheUnlock() {
        PanelBench b;
        b.state.selectionMode = 1;
        b.c<QScrollBar>("HScrollSigma")->setValue(12);
        QVERIFY(b.preview.isEnabled() && b.apply.isEnabled());
        b.panel.Lock();
        // The settings change under the lock (the channel list's redraw locks
        // too): no run may be offered afterwards, and nothing comes alive now.
        b.c<QScrollBar>("HScrollSigma")->setValue(0);
        QVERIFY(!b.preview.isEnabled() && !b.apply.isEnabled());
        b.panel.Unlock();
        QVERIFY(!b.preview.isEnabled());
        QVERIFY(!b.apply.isEnabled());
        QCOMPARE(b.state.settings.sigma, int16_t{0});
    }

    void stoppedPreviewGivesBackTheSettingsAndRunsOnly() {
        PanelBench b;
        b.state.selectionMode = 1;
        b.c<QScrollBar>("HScrollSigma")->setValue(7);
        b.panel.Lock();
        b.panel.UnlockAfterStoppedPreview();
        QCOMPARE(b.Enabled(), kSettings + QStringList({"selectArea", "scroll", "preview", "apply"}));
        // The lock is over: the rule acts on the buttons at once again.
        b.c<QScrollBar>("HScrollSigma")->setValue(0);
        QVERIFY(!b.preview.isEnabled());
        // A complete run later gives the strengths and help back, the views as they were.
        b.c<QScrollBar>("HScrollSigma")->setValue(7);
        b.panel.Lock();
        b.panel.Unlock();
        QCOMPARE(b.Enabled(), kSettings + kStrengths +
                                  QStringList({"selectArea", "scroll", "preview", "apply", "help"}));
    }

    void selectionModeDecidesThePreviewInAreaLayout() {
        PanelBench b;
        b.state.areaMode = true;
        b.c<QScrollBar>("HScrollSigma")->setValue(9);
        QVERIFY(b.apply.isEnabled());
        QVERIFY(!b.preview.isEnabled());  // no area selected yet
        b.state.selectionMode = 1;
        b.panel.SelectionModeChanged();
        QVERIFY(b.preview.isEnabled());
        b.state.selectionMode = 0;
        b.panel.SelectionModeChanged();
        QVERIFY(!b.preview.isEnabled());
        // Without a possible run select-area mode offers no preview either.
        b.c<QScrollBar>("HScrollSigma")->setValue(0);
        b.state.selectionMode = 1;
        b.panel.SelectionModeChanged();
        QVERIFY(!b.preview.isEnabled());
    }

    void tabGoesThroughTheControlsInTheDesignsOrder() {
        OpenDialog d(1600, 1200);
        QVERIFY(d.Load());
        QStringList chain;
        QWidget* w = d.dialog.get();
        do {
            w = w->nextInFocusChain();
            if ((w->focusPolicy() & Qt::TabFocus) && !w->objectName().startsWith(QLatin1String("qt_")))
                chain << w->objectName();
        } while (w != d.dialog.get() && chain.size() < 100);
        QCOMPARE(chain, QStringList({"TxtSigma", "Txtrw", "TxtRed", "TxtGreen", "TxtBlue",
                                     "CmdSelectArea", "CmdScroll", "CmdPreview", "CmdOKDenoise",
                                     "CmdOrigImg", "CmdDenoisedImg", "CmdNoiseImg",
                                     "CmdInterrompiDenoise", "Combo1",
                                     // Added after the design's controls, so reached last.
                                     "ChkColourNoise", "TxtColour"}));
    }

    void fullRunRefusesADestinationThatDoesNotFit_data() {
        QTest::addColumn<int>("spoilt");
        QTest::newRow("none") << 0;
        QTest::newRow("narrower") << 1;
        QTest::newRow("lower") << 2;
        QTest::newRow("rows of 32 bits") << 3;
    }

    void fullRunRefusesADestinationThatDoesNotFit() {
        QFETCH(int, spoilt);
        auto spoil = [spoilt](DenoiseDestination& d) {
            if (spoilt == 0) d = {};
            if (spoilt == 1) d.width -= 1;
            if (spoilt == 2) d.height -= 1;
            if (spoilt == 3) d.stride = int64_t{d.width} * 4;
        };
        SpoiltHost host(240, 180, spoil);
        QWidget owner;
        FormDenoise dialog(&owner, host);
        QVERIFY(dialog.Load());
        Control<QScrollBar>(dialog, "HScrollSigma")->setValue(9);
        bool ran = false;
        dialog.SetBeforeRowHookForTest([&](int32_t, int32_t) { ran = true; });
        Control<QPushButton>(dialog, "CmdOKDenoise")->click();
        QVERIFY(!ran);
        QVERIFY(host.ImageUnchanged());
        QCOMPARE(host.adopted, 0);
        QCOMPARE(host.suffixes, 0);
        QVERIFY(dialog.isVisible());
        QVERIFY(!dialog.State().runActive);
        QVERIFY(Control<QLineEdit>(dialog, "TxtSigma")->isEnabled());
    }
};

QTEST_MAIN(DialogPartsTest)
#include "dialog_parts_qtest.moc"
