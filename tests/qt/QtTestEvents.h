#pragma once
// The user's keys and clicks as the Qt tests send them, and what a list widget shows selected.
#include <QAbstractItemView>
#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>

#include <functional>
#include <vector>

namespace velmora::qttest {

// Deletes the widgets of unloaded forms, as the event loop would.
inline void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

inline bool waitFor(const std::function<bool()>& done, int ms = 3000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

inline void sendKey(QWidget* w, int key, Qt::KeyboardModifiers mods = {}, const QString& text = {})
{
    QKeyEvent press(QEvent::KeyPress, key, mods, text);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, mods, text);
    QApplication::sendEvent(w, &release);
}

inline void sendMouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button,
                      Qt::KeyboardModifiers mods = {})
{
    QMouseEvent e(type, QPointF(pos), QPointF(w->mapToGlobal(pos)), button,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button), mods);
    QApplication::sendEvent(w, &e);
}

// A press and release at `pos` of `w`, as the user clicks it.
inline void click(QWidget* w, QPoint pos, Qt::MouseButton button = Qt::LeftButton, Qt::KeyboardModifiers mods = {})
{
    sendMouse(w, QEvent::MouseButtonPress, pos, button, mods);
    sendMouse(w, QEvent::MouseButtonRelease, pos, button, mods);
}

// Row i of a list view, its text and where it is drawn.
inline QModelIndex row(const QAbstractItemView* list, int i) { return list->model()->index(i, 0); }
inline int rowCount(const QAbstractItemView* list) { return list->model()->rowCount(); }
inline QString rowText(const QAbstractItemView* list, int i) { return row(list, i).data().toString(); }
inline QPoint rowCentre(const QAbstractItemView* list, int i) { return list->visualRect(row(list, i)).center(); }

// A click on row i of a list.
inline void clickRow(QAbstractItemView* list, int i, Qt::KeyboardModifiers mods = {})
{
    click(list->viewport(), rowCentre(list, i), Qt::LeftButton, mods);
}

inline std::vector<int> selectedRows(const QAbstractItemView* list)
{
    std::vector<int> rows;
    for (int i = 0; i < rowCount(list); ++i)
        if (list->selectionModel()->isSelected(row(list, i))) rows.push_back(i);
    return rows;
}

} // namespace velmora::qttest
