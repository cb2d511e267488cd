// The busy pointer over long work in the user-interface thread.
#include <QCursor>
#include <QGuiApplication>

#include "platform/platform.h"

// Qt keeps a stack of override cursors: each one restores what it set, so
// nested ones need no count of their own.
BusyCursor::BusyCursor()
{
    if (qGuiApp)
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

BusyCursor::~BusyCursor()
{
    if (qGuiApp)
        QGuiApplication::restoreOverrideCursor();
}
