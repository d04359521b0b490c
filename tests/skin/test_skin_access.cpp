// The skin's own controls for a screen reader and a keyboard: a label
// button is a button whose Press is its click (and nothing where a click is
// nothing), a caption label that answers a click can be pressed, a window is
// a dialog or a frame, a control a program draws is known by its
// description, Escape presses the window's cancel button, and the one focus
// ring shows for keyboard users only, round a control and its label, in
// whichever window has the focus, with crisp edges at any screen scale.

#include "skin/caption_label.h"
#include "skin/control_access.h"
#include "skin/focus_ring.h"
#include "skin/label_button.h"
#include "skin/skinned_window.h"
#include "tests/support/access_probe.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

#include <cmath>

using namespace qpt;
using namespace qpt::test;

namespace {

QStringList actions(QObject* object)
{
    QAccessibleActionInterface* action = accessibleOf(object)->actionInterface();
    return action ? action->actionNames() : QStringList();
}

// A shown, active window with two buttons and a box named by a label.
struct Window {
    SkinnedWindow window;
    LabelButton* first = new LabelButton(QStringLiteral("First"), &window);
    LabelButton* second = new LabelButton(QStringLiteral("Second"), &window);
    QCheckBox* box = new QCheckBox(&window);
    QLabel* boxLabel = new QLabel(QStringLiteral("Named Box"), &window);

    Window()
    {
        window.setWindowTitle(QStringLiteral("Skinned"));
        window.resize(300, 200);
        first->setGeometry(20, 20, 90, 26);
        second->setGeometry(20, 60, 90, 26);
        box->setGeometry(20, 110, 18, 18);
        boxLabel->setGeometry(46, 107, 120, 24);
        boxLabel->setBuddy(box);
        window.show();
    }
    bool active()
    {
        QApplication::setActiveWindow(&window);
        return QTest::qWaitForWindowActive(&window);
    }
    // The ring's place while it shows round a control of this window.
    QRect ring() const
    {
        const FocusRing* ring = FocusRing::shown();
        return ring && ring->parentWidget() == &window ? ring->geometry() : QRect();
    }
};

}  // namespace

class TestSkinAccess : public QObject {
    Q_OBJECT
private slots:
    void labelButtonIsAButtonPressedAsByAClick()
    {
        Window w;
        QSignalSpy clicks(w.first, &LabelButton::clicked);
        QAccessibleInterface* button = accessibleOf(w.first);
        QVERIFY(button);
        QCOMPARE(button->role(), QAccessible::Button);
        QCOMPARE(button->text(QAccessible::Name), QStringLiteral("First"));
        QVERIFY(actions(w.first).contains(QAccessibleActionInterface::pressAction()));
        QVERIFY(button->state().focusable);

        pressAccessible(w.first);
        QCOMPARE(clicks.size(), 1);

        // The name follows the caption (Cancel Report becomes Back to OS).
        w.first->setCaption(QStringLiteral("Back to OS"));
        QCOMPARE(button->text(QAccessible::Name), QStringLiteral("Back to OS"));

        // Where a click does nothing, Press does nothing: the button, or the
        // window behind another, disabled.
        w.first->setEnabled(false);
        QVERIFY(button->state().disabled);
        pressAccessible(w.first);
        w.first->setEnabled(true);
        w.window.setEnabled(false);
        pressAccessible(w.first);
        QCOMPARE(clicks.size(), 1);
        w.window.setEnabled(true);
        pressAccessible(w.first);
        QCOMPARE(clicks.size(), 2);
    }

    void keysPressTheFocusedButtonOnce()
    {
        Window w;
        QSignalSpy clicks(w.first, &LabelButton::clicked);
        for (Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter})
            QTest::keyClick(w.first, key);
        QCOMPARE(clicks.size(), 3);
        // A held key is one press; with Ctrl or Alt it is no press at all.
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
        QApplication::sendEvent(w.first, &repeat);
        QTest::keyClick(w.first, Qt::Key_Return, Qt::ControlModifier);
        QTest::keyClick(w.first, Qt::Key_Space, Qt::AltModifier);
        QCOMPARE(clicks.size(), 3);
    }

    void captionLabelThatAnswersAClickCanBePressed()
    {
        SkinnedWindow window;
        auto* plain = new CaptionLabel(QStringLiteral("Line one\r\nLine two"), &window);
        auto* toggle = new CaptionLabel(QStringLiteral("Don't Show"), &window);
        int toggled = 0;
        connect(toggle, &CaptionLabel::clicked, this, [&] { ++toggled; });

        QCOMPARE(accessibleOf(plain)->role(), QAccessible::StaticText);
        QCOMPARE(accessibleOf(plain)->text(QAccessible::Name), QStringLiteral("Line one\nLine two"));
        QVERIFY(!actions(plain).contains(QAccessibleActionInterface::pressAction()));

        QCOMPARE(accessibleOf(toggle)->role(), QAccessible::StaticText);
        QCOMPARE(accessibleOf(toggle)->text(QAccessible::Name), QStringLiteral("Don't Show"));
        pressAccessible(toggle);
        QCOMPARE(toggled, 1);
        toggle->setEnabled(false);
        pressAccessible(toggle);
        QCOMPARE(toggled, 1);

        // A caption that names a control says so.
        auto* box = new QCheckBox(&window);
        toggle->setBuddy(box);
        const auto labelled = accessibleOf(toggle)->relations(QAccessible::Labelled);
        QCOMPARE(labelled.size(), 1);
        QCOMPARE(labelled.first().first->object(), box);

        // A shadow copy of a text is not read twice.
        window.show();
        QVERIFY(!accessibleOf(plain)->state().invisible);
        plain->setDecorative(true);
        QVERIFY(accessibleOf(plain)->state().invisible);
    }

    void windowsAreDialogsOrFramesWithTheirCaptions()
    {
        Window w;
        QAccessibleInterface* window = accessibleOf(&w.window);
        QCOMPARE(window->role(), QAccessible::Dialog);
        QCOMPARE(window->text(QAccessible::Name), QStringLiteral("Skinned"));
        w.window.setWindowTitle(QStringLiteral("Renamed"));
        QCOMPARE(window->text(QAccessible::Name), QStringLiteral("Renamed"));
        w.window.setMainWindow(true);
        QCOMPARE(window->role(), QAccessible::Window);

        // The box is named by its label; the ring is no object of the tree
        // (the ring's test looks while it shows).
        QCOMPARE(accessibleOf(w.box)->text(QAccessible::Name), QStringLiteral("Named Box"));
        QCOMPARE(window->childCount(), 4);
    }

    // A control a program draws itself is known by what it attaches: the
    // interface Qt made for it before is dropped, a later description
    // replaces an earlier one, a name set on the widget outranks the
    // described one, and a value set is held within its range, never
    // passed on when it is no number or the control is disabled.
    void describedControlsForPrograms()
    {
        SkinnedWindow window;
        auto* knob = new QWidget(&window);
        QCOMPARE(accessibleOf(knob)->role(), QAccessible::Client);  // Qt's filler, cached

        double level = 20;
        QList<double> sets;
        ControlAccess* access = ControlAccess::attach(knob, QAccessible::Slider, [] { return QStringLiteral("Level"); });
        access->value.current = [&level] { return level; };
        access->value.maximum = [] { return 100.0; };
        access->value.set = [&](double value) { sets << value; level = value; };
        QAccessibleInterface* slider = accessibleOf(knob);
        QCOMPARE(slider->role(), QAccessible::Slider);
        QCOMPARE(slider->text(QAccessible::Name), QStringLiteral("Level"));
        QCOMPARE(slider->text(QAccessible::Value), QStringLiteral("20"));
        QVERIFY(!pressAccessible(knob));
        QAccessibleValueInterface* value = slider->valueInterface();
        QVERIFY(value);
        value->setCurrentValue(150);
        value->setCurrentValue(-3);
        value->setCurrentValue(QStringLiteral("loud"));
        value->setCurrentValue(std::nan(""));
        knob->setEnabled(false);
        value->setCurrentValue(50);
        knob->setEnabled(true);
        QCOMPARE(sets, (QList<double>{100, 0}));
        QCOMPARE(value->currentValue().toDouble(), 0.0);

        int presses = 0;
        ControlAccess* button = ControlAccess::attach(knob, QAccessible::Button, [] { return QStringLiteral("Go"); });
        button->press = [&presses] { ++presses; };
        QCOMPARE(ControlAccess::of(knob), button);
        QCOMPARE(knob->findChildren<ControlAccess*>().size(), 1);
        QCOMPARE(accessibleOf(knob)->role(), QAccessible::Button);
        QVERIFY(!accessibleOf(knob)->valueInterface());
        QVERIFY(pressAccessible(knob));
        QCOMPARE(presses, 1);
        QCOMPARE(accessibleOf(knob)->actionInterface()->keyBindingsForAction(QAccessibleActionInterface::pressAction()),
                 QStringList{QStringLiteral("Space")});
        knob->setAccessibleName(QStringLiteral("Start"));
        QCOMPARE(accessibleOf(knob)->text(QAccessible::Name), QStringLiteral("Start"));

        QList<QAccessible::Event> heard;
        ControlAccess::witness = [&heard](const QAccessibleEvent& event) { heard << event.type(); };
        QAccessibleEvent renamed(knob, QAccessible::NameChanged);
        ControlAccess::announce(renamed);
        ControlAccess::witness = nullptr;
        QCOMPARE(heard, QList<QAccessible::Event>{QAccessible::NameChanged});
    }

    void escapePressesTheCancelButtonWhileItShows()
    {
        Window w;
        QSignalSpy cancels(w.second, &LabelButton::clicked);
        // No cancel button: Escape does nothing.
        QTest::keyClick(w.box, Qt::Key_Escape);
        QCOMPARE(cancels.size(), 0);

        w.window.setEscapeButton(w.second);
        // From a control that has no use for it, the key reaches the window.
        QTest::keyClick(w.box, Qt::Key_Escape);
        QTest::keyClick(w.first, Qt::Key_Escape);
        QCOMPARE(cancels.size(), 2);
        QTest::keyClick(w.box, Qt::Key_Escape, Qt::ShiftModifier);
        QCOMPARE(cancels.size(), 2);
        w.second->setEnabled(false);
        QTest::keyClick(w.box, Qt::Key_Escape);
        w.second->setEnabled(true);
        w.second->hide();
        QTest::keyClick(w.box, Qt::Key_Escape);
        QCOMPARE(cancels.size(), 2);
    }

    void focusRingShowsForTheKeyboardOnly()
    {
        Window w;
        QVERIFY(w.active());
        // The mouse user's window looks as drawn: a button with the focus
        // looks as one without, and a click focuses with no ring.
        QTest::mouseClick(&w.window, Qt::LeftButton, {}, QPoint(250, 180));
        const QImage unfocused = w.window.grab().toImage();
        w.second->setFocus();
        QVERIFY(w.second->hasFocus());
        QCOMPARE(w.window.grab().toImage(), unfocused);
        QTest::mouseClick(w.first, Qt::LeftButton);
        QVERIFY(w.first->hasFocus());
        QCOMPARE(FocusRing::target(), nullptr);

        // Tab: the ring goes round the control that has the focus now.
        QTest::keyClick(w.first, Qt::Key_Tab);
        QVERIFY(w.second->hasFocus());
        QCOMPARE(FocusRing::target(), w.second);
        QCOMPARE(w.ring(), w.second->geometry().adjusted(-FocusRing::kOutset, -FocusRing::kOutset,
                                                          FocusRing::kOutset, FocusRing::kOutset));
        // It follows the control when it moves.
        w.second->move(30, 64);
        QCOMPARE(w.ring().topLeft(), QPoint(30 - FocusRing::kOutset, 64 - FocusRing::kOutset));
        // A screen reader never finds it.
        QAccessibleInterface* window = accessibleOf(&w.window);
        for (int i = 0; i < window->childCount(); ++i)
            QVERIFY(window->child(i)->object() != FocusRing::shown());
        QCOMPARE(window->childCount(), 4);

        // A box and the label that names it are one ring.
        QTest::keyClick(w.second, Qt::Key_Tab);
        QVERIFY(w.box->hasFocus());
        QCOMPARE(FocusRing::target(), w.box);
        QVERIFY(w.ring().contains(w.boxLabel->geometry()));
        QVERIFY(w.ring().contains(w.box->geometry()));

        // A mouse press anywhere hides it; Shift held for a click does not
        // bring it back, the next key does.
        QTest::mouseClick(&w.window, Qt::LeftButton, {}, QPoint(250, 180));
        QCOMPARE(FocusRing::target(), nullptr);
        QTest::keyClick(w.box, Qt::Key_Shift);
        QCOMPARE(FocusRing::target(), nullptr);
        QTest::keyClick(w.box, Qt::Key_Down);  // which moves the focus on
        QVERIFY(FocusRing::target());
        QCOMPARE(FocusRing::target(), QApplication::focusWidget());
        // A control that is hidden or loses the focus has no ring.
        w.box->hide();
        QVERIFY(FocusRing::target() != w.box);
    }

    // One ring serves every window: it goes with the focus from window to
    // window, and a window that goes does not take it along.
    void focusRingGoesFromWindowToWindow()
    {
        Window w;
        QVERIFY(w.active());
        w.first->setFocus(Qt::TabFocusReason);
        QCOMPARE(FocusRing::target(), w.first);
        {
            Window other;
            QVERIFY(other.active());
            QTest::keyClick(other.first, Qt::Key_Tab);
            QCOMPARE(FocusRing::target(), other.second);
            QCOMPARE(FocusRing::shown()->parentWidget(), &other.window);
            // Closed with the ring in it.
        }
        QVERIFY(w.active());
        QTest::keyClick(w.first, Qt::Key_Tab);
        QCOMPARE(FocusRing::target(), w.second);
        QCOMPARE(w.ring(), w.second->geometry().adjusted(-FocusRing::kOutset, -FocusRing::kOutset,
                                                          FocusRing::kOutset, FocusRing::kOutset));
    }

    // Any screen scale, any place on it: each edge of the ring falls on whole
    // device pixels, so every pixel is exactly one of its two colours or
    // untouched, and the control inside is never painted over.
    void focusRingIsCrispAtEveryScale()
    {
        for (const qreal scale : {1.0, 1.25, 1.5, 2.0, 3.0}) {
            for (const qreal offset : {0.0, 7.0, 13.0}) {
                QImage image(QSize(140, 80) * scale, QImage::Format_ARGB32_Premultiplied);
                image.setDevicePixelRatio(scale);
                image.fill(Qt::transparent);
                const QRect control(20, 20, 90, 26);
                {
                    QPainter painter(&image);
                    painter.translate(offset, offset / 2);
                    FocusRing::paint(painter, control);
                }
                QSet<QRgb> colours;
                for (int y = 0; y < image.height(); ++y)
                    for (int x = 0; x < image.width(); ++x)
                        colours.insert(image.pixel(x, y));
                const QSet<QRgb> expected{0u, FocusRing::outerColour().rgba(), FocusRing::innerColour().rgba()};
                QVERIFY2(colours == expected, qPrintable(QStringLiteral("scale %1 offset %2: %3 colours")
                                                             .arg(scale)
                                                             .arg(offset)
                                                             .arg(colours.size())));
                // Inside the control: untouched.
                const QPointF shift(offset, offset / 2);
                const QPointF centre = (QRectF(control).center() + shift) * scale;
                QCOMPARE(image.pixel(centre.toPoint()), 0u);
                const QPointF justInside = (QPointF(control.topLeft()) + shift + QPointF(0.5, 0.5)) * scale;
                QCOMPARE(image.pixel(justInside.toPoint()), 0u);
                // The outer band, one logical pixel outside the control's
                // corner less the outset, is the ring's colour.
                const QPointF outerCorner = QPointF(control.topLeft()) + shift
                                          - QPointF(FocusRing::kOutset - 0.5, FocusRing::kOutset - 0.5);
                QCOMPARE(QColor(image.pixel((outerCorner * scale).toPoint())), FocusRing::outerColour());
            }
        }
    }
};

QTEST_MAIN(TestSkinAccess)
#include "test_skin_access.moc"
