#pragma once
// Drives modal dialogs in tests: a short repeating timer acts once the active modal widget is the
// expected one, so it can never fire inside the wrong modal loop.

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>

inline QTimer* WhenModal(std::function<bool(QWidget*)> match, std::function<void(QWidget*)> act) {
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, match, act] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible() || !match(modal))
            return;
        timer->stop();
        timer->deleteLater();
        act(modal);
    });
    timer->start(20);
    return timer;
}

template <class T> QTimer* WhenModalIs(std::function<void(T*)> act) {
    return WhenModal([](QWidget* w) { return dynamic_cast<T*>(w) != nullptr; },
                     [act](QWidget* w) { act(dynamic_cast<T*>(w)); });
}
