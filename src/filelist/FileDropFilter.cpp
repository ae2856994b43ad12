#include "filelist/FileDropFilter.h"

#include "settings/NativePath.h"

#include <QAbstractItemView>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

namespace kv {

FileDropFilter::FileDropFilter(QAbstractItemView* view) : QObject(view) {
    view->setAcceptDrops(true);
    view->viewport()->setAcceptDrops(true);
    view->viewport()->installEventFilter(this);
}

QStringList FileDropFilter::LocalFiles(const QMimeData* data) {
    QStringList files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile() || url.toLocalFile().isEmpty())
            continue;
        QString file = url.toLocalFile();
        // The URL still holds the bytes of a name that is not UTF-8, percent-encoded.
        if (file.contains(QChar(0xFFFD))) {
            const QString path = PathFromNative(
                QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
            file = url.host().isEmpty() ? path : QStringLiteral("//") + url.host() + path;
        }
        files << file;
    }
    return files;
}

bool FileDropFilter::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: {
        // The view's own handling would refuse: the list model takes no drops of its own.
        auto* e = static_cast<QDropEvent*>(event);
        // Never a move: the source would take that as leave to delete its files.
        const Qt::DropActions offered = e->possibleActions();
        const Qt::DropAction action = offered.testFlag(Qt::CopyAction)   ? Qt::CopyAction
                                      : offered.testFlag(Qt::LinkAction) ? Qt::LinkAction
                                                                         : Qt::IgnoreAction;
        if (!e->mimeData() || !e->mimeData()->hasUrls() || action == Qt::IgnoreAction) {
            e->ignore();
            return true;
        }
        e->setDropAction(action);
        e->accept();
        if (event->type() == QEvent::Drop) {
            const QStringList files = LocalFiles(e->mimeData());
            if (!files.isEmpty())
                Q_EMIT filesDropped(files);
        }
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}

} // namespace kv
