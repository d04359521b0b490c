#pragma once
// What a screen reader and a keyboard user meet in a window, read in
// process: an object's accessible interface, its name, its label, its
// actions; a window made active for keys; the controls Tab visits.
// Header only: each window test that includes it links Qt Widgets anyway.

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QList>
#include <QTest>

namespace qpt::test {

inline QAccessibleInterface* accessibleOf(QObject* object)
{
    return QAccessible::queryAccessibleInterface(object);
}

inline QString accessibleName(QObject* object)
{
    QAccessibleInterface* iface = accessibleOf(object);
    return iface ? iface->text(QAccessible::Name) : QString();
}

// The name of what labels the object (a label beside it), if anything.
inline QString accessibleLabel(QObject* object)
{
    const auto labels = accessibleOf(object)->relations(QAccessible::Label);
    return labels.isEmpty() ? QString() : labels.first().first->text(QAccessible::Name);
}

// Runs one of the object's accessible actions; false when it has none such.
inline bool doAccessibleAction(QObject* object, const QString& action)
{
    QAccessibleInterface* iface = accessibleOf(object);
    QAccessibleActionInterface* actions = iface ? iface->actionInterface() : nullptr;
    if (!actions || !actions->actionNames().contains(action))
        return false;
    actions->doAction(action);
    return true;
}

inline bool pressAccessible(QObject* object)
{
    return doAccessibleAction(object, QAccessibleActionInterface::pressAction());
}

// Makes the window active so that it takes keys; false when it never is.
inline bool activateForKeys(QWidget* window)
{
    window->activateWindow();
    QApplication::setActiveWindow(window);
    return QTest::qWaitForWindowActive(window);
}

// Presses the key (Tab, Shift+Tab) at the widget with the focus until the
// focus comes back to where it was (at most 20 times), and lists where it
// went after each press.
inline QList<QWidget*> tabRound(Qt::Key key = Qt::Key_Tab)
{
    QList<QWidget*> visited;
    QWidget* start = QApplication::focusWidget();
    for (int i = 0; i < 20 && start; ++i) {
        QTest::keyClick(QApplication::focusWidget(), key);
        visited << QApplication::focusWidget();
        if (visited.last() == start)
            break;
    }
    return visited;
}

}  // namespace qpt::test
