#pragma once
// Each GUI test must leave no window behind: a leftover would take the next test's focus, keys and
// modal timers. Suites check it in cleanup() with VERIFY_NO_WINDOW_LEFT().

#include <QApplication>
#include <QStringList>
#include <QTest>
#include <QWidget>

// The top-level widgets still alive once deferred deletes have run, named for the failure message.
inline QStringList LeftoverWindows() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QStringList names;
    for (const QWidget* w : QApplication::topLevelWidgets())
        names << QStringLiteral("%1 '%2'%3")
                     .arg(QString::fromLatin1(w->metaObject()->className()), w->windowTitle(),
                          w->isVisible() ? QStringLiteral(" (visible)") : QString());
    return names;
}

#define VERIFY_NO_WINDOW_LEFT()                                                                              \
    QTRY_VERIFY2(LeftoverWindows().isEmpty(), qPrintable(LeftoverWindows().join(QStringLiteral(", "))))
