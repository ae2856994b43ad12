#pragma once

#include <QObject>
#include <QStringList>

class QAbstractItemView;
class QMimeData;

namespace kv {

// Makes a list view take files dragged onto it: drags that carry URLs are accepted as a copy,
// and a drop hands on the local files it carries, in the drag's order.
class FileDropFilter : public QObject {
    Q_OBJECT
public:
    // Watches the view's viewport; the view owns the filter.
    explicit FileDropFilter(QAbstractItemView* view);

    // The local files of a drag, in order; other URLs are left out.
    static QStringList LocalFiles(const QMimeData* data);

Q_SIGNALS:
    void filesDropped(const QStringList& paths);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace kv
