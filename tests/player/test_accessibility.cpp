// The player as a screen reader and a keyboard reach it, in process: the
// accessible names, roles, actions and values of the skin-drawn controls,
// that their actions and values go through the command table like the
// mouse, the announcements a screen reader hears (and those it must not),
// the keys of focused controls, the Tab order, the pop-up menu from the
// keyboard, the playlist's selection, and the skin's focus ring in the
// player's windows.

#include "common/dialogs.h"
#include "player/shell/commands.h"
#include "player/shell/knob_keys.h"
#include "player/shell/main_display.h"
#include "player/shell/now_saving_window.h"
#include "player/shell/picture_button.h"
#include "player/shell/popup_menu.h"
#include "player/shell/time_format.h"
#include "skin/control_access.h"
#include "skin/focus_ring.h"
#include "tests/player/app_fixture.h"
#include "tests/support/test_env.h"

#include <QAccessible>
#include <QApplication>
#include <QPointer>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

using namespace qpt;
using namespace qpt::test;

namespace {

QAccessibleInterface* access(QObject* object)
{
    return QAccessible::queryAccessibleInterface(object);
}

QString nameOf(QObject* object)
{
    return access(object)->text(QAccessible::Name);
}

void pressThroughAccess(QObject* object)
{
    QAccessibleActionInterface* actions = access(object)->actionInterface();
    QVERIFY(actions);
    QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
    actions->doAction(QAccessibleActionInterface::pressAction());
}

// The events the player sends to screen readers, as (object, type).
struct HeardEvents {
    QList<QPair<QObject*, QAccessible::Event>> events;
    HeardEvents()
    {
        ControlAccess::witness = [this](const QAccessibleEvent& event) {
            events << qMakePair(event.object(), event.type());
        };
    }
    ~HeardEvents() { ControlAccess::witness = nullptr; }
    int count(QObject* object, QAccessible::Event type) const
    {
        return int(std::count(events.begin(), events.end(), qMakePair(object, type)));
    }
};

// A song of `length` seconds playing at `position`, as the 200 ms tick sees it.
void playAt(AppFixture& a, double position, double length)
{
    a.media->length = length;
    a.media->position = position;
    a.app.core().positionTick();
}

void activate(QWidget* window)
{
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
}

}  // namespace

class TestAccessibility : public QObject {
    Q_OBJECT
private slots:
    // Every skin-drawn control has the role and name a screen reader
    // speaks; buttons and the two labels can be pressed.
    void namesRolesAndActions()
    {
        TestEnv env;
        AppFixture a;
        MainWindow& w = a.app.windows().mainWindow();
        QCOMPARE(access(&w)->role(), QAccessible::Window);
        QCOMPARE(nameOf(&w), QStringLiteral("Quorbel Player Tirk v1.00"));

        const QList<QPair<PictureButton*, QString>> buttons{
            {w.playButton, "Play"}, {w.pauseButton, "Pause"},     {w.stopButton, "Stop"},
            {w.previousButton, "Previous"}, {w.nextButton, "Next"}, {w.playlistButton, "PlayList"}};
        for (const auto& [button, name] : buttons) {
            QCOMPARE(access(button)->role(), QAccessible::Button);
            QCOMPARE(nameOf(button), name);
            QVERIFY(access(button)->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
            QVERIFY(access(button)->state().focusable);
        }
        // The tool tip stays the description.
        QCOMPARE(access(w.playlistButton)->text(QAccessible::Description), QStringLiteral("Open PlayList"));

        for (PictureButton* knob : {w.seekKnob, w.volumeKnob}) {
            QCOMPARE(access(knob)->role(), QAccessible::Slider);
            QVERIFY(access(knob)->valueInterface());
        }
        QCOMPARE(nameOf(w.seekKnob), QStringLiteral("Seek"));
        QCOMPARE(nameOf(w.volumeKnob), QStringLiteral("Volume"));
        QCOMPARE(access(w.seekBar)->role(), QAccessible::Graphic);
        QVERIFY(!nameOf(w.volumeBar).isEmpty());

        // The time display speaks what it shows; idle, the product's name.
        QCOMPARE(access(w.timeLabel)->role(), QAccessible::StaticText);
        QCOMPARE(nameOf(w.timeLabel), QStringLiteral("Quorbel Player Tirk"));
        QVERIFY(access(w.timeLabel)->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));

        // Nothing of the window is a nameless filler.
        for (int i = 0; i < access(&w)->childCount(); ++i) {
            QAccessibleInterface* child = access(&w)->child(i);
            QVERIFY2(child->role() != QAccessible::Client, qPrintable(child->object()->metaObject()->className()));
            QVERIFY2(!child->text(QAccessible::Name).isEmpty() || child->object() == w.statusLabel,
                     qPrintable(child->object()->objectName()));
        }

        PlaylistWindow& list = a.app.windows().playlistWindow();
        QCOMPARE(access(&list)->role(), QAccessible::Dialog);
        QCOMPARE(nameOf(&list), QStringLiteral("Quorbel PlayList Tirk"));
        QCOMPARE(access(list.list)->role(), QAccessible::Table);
        QCOMPARE(nameOf(list.list), QStringLiteral("PlayList"));

        a.app.commands().run(Command::OpenPopupMenu);
        PopupMenu* menu = a.app.windows().popupMenu();
        QVERIFY(menu);
        QCOMPARE(access(menu)->role(), QAccessible::PopupMenu);
        QStringList items;
        for (QLabel* entry : menu->entries()) {
            QCOMPARE(access(entry)->role(), QAccessible::MenuItem);
            QVERIFY(access(entry)->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
            items << nameOf(entry);
        }
        QCOMPARE(items, (QStringList{"Option", "Internet", "Open Music", "Save PlayList"}));
    }

    // Press does what a click does, through the command table; a disabled
    // button cannot be pressed.
    void pressIsAClick()
    {
        TestEnv env;
        AppFixture a;
        a.addSongs({QStringLiteral("/m/1.mp3"), QStringLiteral("/m/2.mp3")});
        MainWindow& w = a.app.windows().mainWindow();
        QSignalSpy ran(&a.app.commands(), &CommandDispatcher::ran);

        pressThroughAccess(w.playButton);
        QCOMPARE(ran.takeFirst().at(0).value<Command>(), Command::Play);
        QCOMPARE(a.media->url(), QByteArray("/m/1.mp3"));
        QVERIFY(!w.playButton->isEnabled());  // the playing look
        QVERIFY(access(w.playButton)->state().disabled);
        pressThroughAccess(w.playButton);
        QVERIFY(ran.isEmpty());

        pressThroughAccess(w.pauseButton);
        QCOMPARE(ran.takeFirst().at(0).value<Command>(), Command::Pause);
        QCOMPARE(a.engine.state(), PlayerState::Paused);
        pressThroughAccess(w.playButton);
        QCOMPARE(a.engine.state(), PlayerState::PlayingOrIdle);
        ran.clear();

        pressThroughAccess(w.nextButton);
        QCOMPARE(ran.takeFirst().at(0).value<Command>(), Command::NextSong);
        QCOMPARE(a.media->url(), QByteArray("/m/2.mp3"));
        // Released: the face is the ready one again, as after a click.
        QCOMPARE(a.app.display().nextButton.face(), ButtonFace::Ready);

        pressThroughAccess(w.stopButton);
        QCOMPARE(ran.takeFirst().at(0).value<Command>(), Command::Stop);
        QCOMPARE(a.engine.state(), PlayerState::Stopped);

        pressThroughAccess(w.playlistButton);
        QCOMPARE(ran.takeFirst().at(0).value<Command>(), Command::PlaylistButton);

        playAt(a, 10, 200);
        const TimeMode before = a.app.display().timeMode();
        pressThroughAccess(w.timeLabel);
        QCOMPARE(ran.takeFirst().at(0).value<Command>(), Command::ToggleTimeMode);
        QVERIFY(a.app.display().timeMode() != before);
    }

    // The knobs' values: read as the song and the volume stand, set
    // through the command table, held within their range.
    void knobValues()
    {
        TestEnv env;
        AppFixture a;
        a.addSongs({QStringLiteral("/m/1.mp3")});
        MainWindow& w = a.app.windows().mainWindow();
        a.app.commands().run(Command::Play);
        playAt(a, 42, 180);

        QAccessibleValueInterface* seek = access(w.seekKnob)->valueInterface();
        QCOMPARE(seek->currentValue().toDouble(), 42.0);
        QCOMPARE(seek->minimumValue().toDouble(), 0.0);
        QCOMPARE(seek->maximumValue().toDouble(), 180.0);
        QSignalSpy ran(&a.app.commands(), &CommandDispatcher::ran);
        seek->setCurrentValue(95);
        QCOMPARE(ran.takeFirst().at(0).value<Command>(), Command::SeekTo);
        QCOMPARE(a.media->seeks.last(), 95.0);
        seek->setCurrentValue(1000);  // held to the song's length
        QCOMPARE(a.media->seeks.last(), 180.0);

        QAccessibleValueInterface* volume = access(w.volumeKnob)->valueInterface();
        ran.clear();
        QCOMPARE(volume->maximumValue().toDouble(), 100.0);
        QVERIFY(volume->currentValue().toDouble() <= 100.0);  // the knob's top stands a little over 100
        volume->setCurrentValue(40);
        QCOMPARE(ran.takeFirst().at(0).value<Command>(), Command::SetVolume);
        QCOMPARE(a.media->volume(), 40);
        QCOMPARE(volume->currentValue().toDouble(), 40.0);
        volume->setCurrentValue(-20);
        QCOMPARE(a.media->volume(), 0);
        volume->setCurrentValue(QStringLiteral("loud"));  // not a number: nothing
        QCOMPARE(a.media->volume(), 0);
    }

    // A song change is heard on the now-playing line; the knobs are heard
    // when moved by the user, never with the seconds of playback.
    void whatIsAnnounced()
    {
        TestEnv env;
        AppFixture a;
        a.addSongs({QStringLiteral("/m/first.mp3"), QStringLiteral("/m/second.mp3")});
        MainWindow& w = a.app.windows().mainWindow();
        HeardEvents heard;
        a.app.commands().run(Command::Play);
        QCOMPARE(nameOf(w.nowPlayingLabel), QStringLiteral("first"));
        QVERIFY(heard.count(w.nowPlayingLabel, QAccessible::NameChanged) >= 1);

        heard.events.clear();
        a.app.commands().run(Command::NextSong);
        QCOMPARE(nameOf(w.nowPlayingLabel), QStringLiteral("second"));
        QCOMPARE(heard.count(w.nowPlayingLabel, QAccessible::NameChanged), 1);
        // The animation spells frames into the line; its name stays the title.
        a.app.display().nowPlayingLabel.setText(QStringLiteral("P   l   a"));
        QCOMPARE(nameOf(w.nowPlayingLabel), QStringLiteral("second"));

        heard.events.clear();
        for (int second = 1; second <= 5; ++second)
            playAt(a, second, 100);
        QCOMPARE(heard.count(w.seekKnob, QAccessible::ValueChanged), 0);
        QCOMPARE(heard.count(w.volumeKnob, QAccessible::ValueChanged), 0);

        access(w.seekKnob)->valueInterface()->setCurrentValue(50);
        QCOMPARE(heard.count(w.seekKnob, QAccessible::ValueChanged), 1);
        QTest::keyClick(&w, Qt::Key_Up, Qt::AltModifier);  // the volume key
        QCOMPARE(heard.count(w.volumeKnob, QAccessible::ValueChanged), 1);

        // The time display's new way of counting is heard when it is pressed.
        a.app.commands().run(Command::ToggleTimeMode);
        QCOMPARE(heard.count(w.timeLabel, QAccessible::NameChanged), 1);
        QVERIFY(nameOf(w.timeLabel).contains(QStringLiteral("remaining")));
    }

    // The window shown while a save collects the playlist: a dialog whose
    // "X" is a Cancel button, pressed by a screen reader, by Escape or by
    // Space on it, as by the mouse.
    void nowSavingWindowCancels()
    {
        TestEnv env;
        int cancels = 0;
        const auto open = [&cancels] { return new NowSavingWindow({}, {}, [&cancels] { ++cancels; }); };
        QPointer<NowSavingWindow> saving = open();
        QCOMPARE(access(saving)->role(), QAccessible::Dialog);
        QCOMPARE(nameOf(saving), QStringLiteral("Saving PlayList"));
        QCOMPARE(access(saving->cancelButton)->role(), QAccessible::Button);
        QCOMPARE(nameOf(saving->cancelButton), QStringLiteral("Cancel"));
        pressThroughAccess(saving->cancelButton);
        QCOMPARE(cancels, 1);
        QTRY_VERIFY(!saving);  // it unloads itself

        saving = open();
        QTest::keyClick(saving, Qt::Key_Escape);
        QCOMPARE(cancels, 2);
        QTRY_VERIFY(!saving);

        saving = open();
        saving->cancelButton->setFocus();
        QTest::keyClick(saving->cancelButton, Qt::Key_Space);
        QCOMPARE(cancels, 3);
        QTRY_VERIFY(!saving);
    }

    void spokenTimes()
    {
        QCOMPARE(spokenDuration(0), QStringLiteral("0 seconds"));
        QCOMPARE(spokenDuration(1), QStringLiteral("1 second"));
        QCOMPARE(spokenDuration(60), QStringLiteral("1 minute"));
        QCOMPARE(spokenDuration(3725), QStringLiteral("1 hour 2 minutes 5 seconds"));
        QCOMPARE(spokenDuration(-3), QStringLiteral("0 seconds"));
        QCOMPARE(spokenTime(65, 180, false), QStringLiteral("1 minute 5 seconds of 3 minutes"));
        QCOMPARE(spokenTime(60, 180, true), QStringLiteral("2 minutes remaining of 3 minutes"));
    }

    // The added shortcuts leave every key of the Alt table as it was and
    // want Alt alone; the knobs' own keys are a slider's.
    void keyTables()
    {
        const QList<QPair<Qt::Key, Command>> table{
            {Qt::Key_F4, Command::Close},           {Qt::Key_Up, Command::VolumeUp},
            {Qt::Key_Down, Command::VolumeDown},    {Qt::Key_Right, Command::NextSong},
            {Qt::Key_Left, Command::PreviousSong},  {Qt::Key_S, Command::SortPlaylist},
            {Qt::Key_O, Command::OpenOptions},      {Qt::Key_P, Command::PlayPause},
            {Qt::Key_L, Command::TogglePlaylist},   {Qt::Key_I, Command::OpenOnlineSystem},
            {Qt::Key_M, Command::MinimizeToTray}};
        for (const auto& [key, command] : table)
            QCOMPARE(commandForKey(Qt::AltModifier | key), command);

        QCOMPARE(commandForKey(Qt::AltModifier | Qt::Key_T), Command::Stop);
        const auto back = requestForKey(Qt::AltModifier | Qt::Key_Comma);
        const auto forward = requestForKey(Qt::AltModifier | Qt::Key_Period);
        QVERIFY(back && forward);
        QCOMPARE(back->command, Command::SeekBy);
        QCOMPARE(std::get<double>(back->argument), -kSeekKeySeconds);
        QCOMPARE(std::get<double>(forward->argument), kSeekKeySeconds);
        for (Qt::Key key : {Qt::Key_T, Qt::Key_Comma, Qt::Key_Period}) {
            QVERIFY(!requestForKey(QKeyCombination(key)));
            QVERIFY(!requestForKey(Qt::AltModifier | Qt::ShiftModifier | key));
            QVERIFY(!requestForKey(Qt::AltModifier | Qt::ControlModifier | key));
        }

        QVERIFY(opensPopupMenu(QKeyCombination(Qt::Key_Menu)));
        QVERIFY(opensPopupMenu(Qt::ShiftModifier | Qt::Key_F10));
        QVERIFY(!opensPopupMenu(QKeyCombination(Qt::Key_F10)));

        const auto seek = [](QKeyCombination keys) { return seekKnobKey(keys, 200); };
        QCOMPARE(std::get<double>(seek(QKeyCombination(Qt::Key_Right))->argument), 5.0);
        QCOMPARE(std::get<double>(seek(QKeyCombination(Qt::Key_Down))->argument), -5.0);
        QCOMPARE(std::get<double>(seek(QKeyCombination(Qt::Key_PageUp))->argument), 30.0);
        QCOMPARE(seek(QKeyCombination(Qt::Key_Home))->command, Command::SeekTo);
        QCOMPARE(std::get<double>(seek(QKeyCombination(Qt::Key_Home))->argument), 0.0);
        QCOMPARE(std::get<double>(seek(QKeyCombination(Qt::Key_End))->argument), 200.0);
        QVERIFY(!seek(Qt::ShiftModifier | Qt::Key_Right));
        QVERIFY(!seek(Qt::AltModifier | Qt::Key_Right));  // the Alt table's

        const auto volume = [](QKeyCombination keys, double at) {
            return std::get<double>(volumeKnobKey(keys, at)->argument);
        };
        QCOMPARE(volume(QKeyCombination(Qt::Key_Up), 50), 55.0);
        QCOMPARE(volume(QKeyCombination(Qt::Key_PageDown), 50), 30.0);
        QCOMPARE(volume(QKeyCombination(Qt::Key_Up), 103.4), 100.0);
        QCOMPARE(volume(QKeyCombination(Qt::Key_Down), 2), 0.0);
        QCOMPARE(volume(QKeyCombination(Qt::Key_End), 0), 100.0);
        QCOMPARE(volume(QKeyCombination(Qt::Key_Home), 70), 0.0);
        QVERIFY(!volumeKnobKey(QKeyCombination(Qt::Key_Space), 50));

        QVERIFY(pressesButton(QKeyCombination(Qt::Key_Space)));
        QVERIFY(pressesButton(QKeyCombination(Qt::Key_Return)));
        QVERIFY(!pressesButton(Qt::AltModifier | Qt::Key_Return));
    }

    // Keys pressed in the window: the new shortcuts, a focused button's
    // Space and Return, a focused knob's arrows, all through the table.
    void keysOfFocusedControls()
    {
        TestEnv env;
        AppFixture a;
        a.addSongs({QStringLiteral("/m/1.mp3"), QStringLiteral("/m/2.mp3")});
        MainWindow& w = a.app.windows().mainWindow();
        CommandDispatcher& commands = a.app.commands();
        QSignalSpy ran(&commands, &CommandDispatcher::ran);

        w.playButton->setFocus();
        QTest::keyClick(w.playButton, Qt::Key_Space);
        QCOMPARE(ran.takeFirst().at(0).value<Command>(), Command::Play);
        playAt(a, 20, 100);

        QTest::keyClick(&w, Qt::Key_Period, Qt::AltModifier);
        QCOMPARE(ran.takeFirst().at(0).value<Command>(), Command::SeekBy);
        QCOMPARE(a.media->seeks.last(), 25.0);
        QTest::keyClick(&w, Qt::Key_Comma, Qt::AltModifier);
        QCOMPARE(a.media->seeks.last(), 20.0);

        w.seekKnob->setFocus();
        QTest::keyClick(w.seekKnob, Qt::Key_PageDown);
        QCOMPARE(a.media->seeks.last(), 0.0);  // before the start: the start
        QTest::keyClick(w.seekKnob, Qt::Key_Home);
        QCOMPARE(a.media->seeks.last(), 0.0);
        ran.clear();
        QTest::keyClick(w.seekKnob, Qt::Key_Space);  // a knob has nothing to press
        QVERIFY(ran.isEmpty());

        w.volumeKnob->setFocus();
        a.app.commands().run({Command::SetVolume, 50.0});
        QTest::keyClick(w.volumeKnob, Qt::Key_Up);
        QCOMPARE(a.media->volume(), 55);
        QTest::keyClick(w.volumeKnob, Qt::Key_End);
        QCOMPARE(a.media->volume(), 100);
        // With Alt the Alt table's volume step, as before.
        QTest::keyClick(w.volumeKnob, Qt::Key_Down, Qt::AltModifier);
        QVERIFY(a.media->volume() < 100);

        ran.clear();
        w.timeLabel->setFocus();
        QTest::keyClick(w.timeLabel, Qt::Key_Return);
        QCOMPARE(ran.takeFirst().at(0).value<Command>(), Command::ToggleTimeMode);

        // Stop waits for the main timer like the other transport keys.
        QTest::keyClick(&w, Qt::Key_T, Qt::AltModifier);
        QCOMPARE(commands.queued(), QList<Command>{Command::Stop});
        commands.mainTimer.tick();
        QCOMPARE(a.engine.state(), PlayerState::Stopped);
        QTest::keyClick(&w, Qt::Key_T);  // without Alt: nothing
        QVERIFY(commands.queued().isEmpty());
    }

    // Tab reaches every control of the main window in reading order (a
    // disabled button is passed over), and the list and status line of the
    // playlist window.
    void tabOrder()
    {
        TestEnv env;
        AppFixture a;
        MainWindow& w = a.app.windows().mainWindow();
        activate(&w);
        w.nowPlayingLabel->setFocus(Qt::TabFocusReason);
        QList<QWidget*> visited{QApplication::focusWidget()};
        for (int i = 0; i < 12; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget();
        }
        // Stopped: Play, Next and Previous are enabled, Pause and Stop not.
        const QList<QWidget*> expected{w.nowPlayingLabel, w.timeLabel,      w.playButton, w.previousButton,
                                       w.nextButton,      w.playlistButton, w.seekKnob,   w.volumeKnob};
        for (QWidget* widget : expected)
            QVERIFY2(visited.contains(widget), qPrintable(access(widget)->text(QAccessible::Name)));
        QList<QWidget*> firstRound = visited.mid(0, visited.indexOf(w.volumeKnob) + 1);
        firstRound.removeAll(&w);
        QCOMPARE(firstRound, expected);

        PlaylistWindow& list = a.app.windows().playlistWindow();
        list.show();
        activate(&list);
        list.list->setFocus(Qt::TabFocusReason);
        QTest::keyClick(list.list, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), list.statusLine);
    }

    // The menu key and Shift+F10 open the pop-up menu where the keyboard
    // is, its first entry focused; the arrows walk it, Return chooses,
    // Escape closes.
    void popupMenuFromTheKeyboard()
    {
        TestEnv env;
        AppFixture a;
        MainWindow& w = a.app.windows().mainWindow();
        activate(&w);
        w.playlistButton->setFocus(Qt::TabFocusReason);
        QTest::keyClick(w.playlistButton, Qt::Key_Menu);
        PopupMenu* menu = a.app.windows().popupMenu();
        QVERIFY(menu && menu->isVisible());
        QVERIFY(QTest::qWaitForWindowActive(menu));
        // Under the control that had the focus.
        QCOMPARE(menu->pos(), w.playlistButton->mapToGlobal(QPoint(0, w.playlistButton->height())));
        QCOMPARE(menu->focusWidget(), menu->optionEntry);
        QTest::keyClick(menu->focusWidget(), Qt::Key_Down);
        QTest::keyClick(menu->focusWidget(), Qt::Key_Down);
        QCOMPARE(menu->focusWidget(), menu->openMusicEntry);
        QTest::keyClick(menu->focusWidget(), Qt::Key_Up);
        QTest::keyClick(menu->focusWidget(), Qt::Key_Up);
        QTest::keyClick(menu->focusWidget(), Qt::Key_Up);  // round to the last
        QCOMPARE(menu->focusWidget(), menu->savePlaylistEntry);
        QTest::keyClick(menu->focusWidget(), Qt::Key_O, Qt::AltModifier);  // no shortcut in the menu
        QVERIFY(a.app.commands().queued().isEmpty());
        QTest::keyClick(menu->focusWidget(), Qt::Key_Escape);
        QTRY_VERIFY(!a.app.windows().popupMenu());

        // Under a window at the screen's bottom edge it opens whole on the screen.
        const QRect screen = w.screen()->availableGeometry();
        w.move(w.x(), screen.bottom() - w.height());
        QTest::keyClick(w.playlistButton, Qt::Key_Menu);
        menu = a.app.windows().popupMenu();
        QVERIFY(menu && menu->isVisible());
        QVERIFY2(screen.contains(menu->frameGeometry()), qPrintable(QStringLiteral("%1,%2").arg(menu->x()).arg(menu->y())));
        QTest::keyClick(menu->focusWidget(), Qt::Key_Escape);
        QTRY_VERIFY(!a.app.windows().popupMenu());

        // Shift+F10 in the playlist; Return on Open Music opens the dialog.
        PlaylistWindow& list = a.app.windows().playlistWindow();
        list.show();
        activate(&list);
        list.list->setFocus(Qt::TabFocusReason);
        QSignalSpy ran(&a.app.commands(), &CommandDispatcher::ran);
        QTest::keyClick(list.list, Qt::Key_F10, Qt::ShiftModifier);
        menu = a.app.windows().popupMenu();
        QVERIFY(menu && menu->isVisible());
        QTest::keyClick(menu->focusWidget(), Qt::Key_End);
        QTest::keyClick(menu->focusWidget(), Qt::Key_Up);
        QCOMPARE(menu->focusWidget(), menu->openMusicEntry);
        Dialogs::scriptAnswers({QString()});
        QTest::keyClick(menu->focusWidget(), Qt::Key_Return);
        QVERIFY(std::any_of(ran.begin(), ran.end(),
                            [](const QVariantList& args) { return args.at(0).value<Command>() == Command::OpenMusic; }));
        QVERIFY(waitUntil([&] { return !Dialogs::records().isEmpty(); }));
        QCOMPARE(Dialogs::records().last().kind, QStringLiteral("open"));
    }

    // A row selected through the table's accessible interface is the row
    // Return (and a double-click) plays.
    void accessibleSelectionIsWhatPlays()
    {
        TestEnv env;
        AppFixture a;
        a.addSongs({QStringLiteral("/m/1.mp3"), QStringLiteral("/m/2.mp3"), QStringLiteral("/m/3.mp3")});
        PlaylistWindow& list = a.app.windows().playlistWindow();
        list.show();
        list.selectRow(1);
        QAccessibleTableInterface* table = access(list.list)->tableInterface();
        QVERIFY(table);
        QVERIFY(table->selectRow(2));
        QCOMPARE(list.selectedRow(), 3);
        QCOMPARE(table->selectedRows(), QList<int>{2});
        QTest::keyClick(list.list, Qt::Key_Return);
        QCOMPARE(a.media->url(), QByteArray("/m/3.mp3"));
        // And the other way: the keyboard moves both.
        QTest::keyClick(list.list, Qt::Key_Up);
        QCOMPARE(table->selectedRows(), QList<int>{1});
        QCOMPARE(list.selectedRow(), 2);
    }

    // The focus ring in the player's windows shows for the keyboard only:
    // after Tab, and after a key press; a mouse press hides it, the focus a
    // click hands to the seek knob shows none, and it follows a knob the
    // player moves. (What the ring does in any window: the skin's tests.)
    void focusRingForTheKeyboardOnly()
    {
        TestEnv env;
        AppFixture a;
        MainWindow& w = a.app.windows().mainWindow();
        activate(&w);
        w.timeLabel->setFocus(Qt::TabFocusReason);
        QTest::keyClick(w.timeLabel, Qt::Key_Tab);
        QCOMPARE(FocusRing::target(), w.playButton);
        const QWidget* mark = w.findChild<FocusRing*>();
        QVERIFY(mark);
        QVERIFY(mark->geometry().contains(w.playButton->geometry()));
        // A screen reader never finds the mark.
        for (int i = 0; i < access(&w)->childCount(); ++i)
            QVERIFY(access(&w)->child(i)->object() != mark);

        QTest::mouseClick(&w, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(QApplication::focusWidget(), w.seekKnob);  // the click's own focus
        QCOMPARE(FocusRing::target(), nullptr);

        QTest::keyClick(w.seekKnob, Qt::Key_Right);
        QCOMPARE(FocusRing::target(), w.seekKnob);
        // It follows the knob as the knob moves.
        a.app.display().seekKnob.setLeft(a.app.display().seekKnob.left() + 600);
        QVERIFY(mark->geometry().contains(w.seekKnob->geometry()));
    }
};

QTEST_MAIN(TestAccessibility)
#include "test_accessibility.moc"
