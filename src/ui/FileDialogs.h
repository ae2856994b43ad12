#pragma once

#include "filelist/DialogFilters.h"

#include <QString>
#include <QStringList>
#include <vector>

class QWidget;

namespace kv {

// The program's file and folder pickers, behind one seam so tests can answer them.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // The chosen files in the dialog's order; empty when cancelled.
    virtual QStringList chooseFiles(QWidget* parent, const QString& title,
                                    const std::vector<DialogFilter>& filters) = 0;
    // The chosen folder; empty when cancelled.
    virtual QString chooseFolder(QWidget* parent, const QString& title) = 0;
};

FileDialogs& Dialogs();
void SetFileDialogs(FileDialogs* dialogs); // nullptr restores the real dialogs

} // namespace kv
