// Runs a function on the thread of a Qt object and waits for it: directly when the caller is already on
// that thread, as a blocking queued call otherwise (a blocking queued call from the object's own thread
// would deadlock).
#pragma once

#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <utility>

template <class Function> void RunOnObjectThread(QObject* context, Function&& function) {
    if (QThread::currentThread() == context->thread())
        function();
    else
        QMetaObject::invokeMethod(context, std::forward<Function>(function), Qt::BlockingQueuedConnection);
}
