#include "ui/FileDialogs.h"

#include <QFileDialog>

namespace kv {
namespace {
class QtFileDialogs final : public FileDialogs {
public:
    QStringList chooseFiles(QWidget* parent, const QString& title,
                            const std::vector<DialogFilter>& filters) override {
        QFileDialog dialog(parent, title);
        dialog.setFileMode(QFileDialog::ExistingFiles);
        // The labels carry their own pattern text; the dialog's copy would repeat it.
        dialog.setOption(QFileDialog::HideNameFilterDetails, true);
        QStringList names;
        for (const DialogFilter& f : filters)
            names << QtNameFilter(f);
        dialog.setNameFilters(names);
        if (!names.isEmpty())
            dialog.selectNameFilter(names.first());
        if (dialog.exec() != QDialog::Accepted)
            return {};
        return dialog.selectedFiles();
    }

    QString chooseFolder(QWidget* parent, const QString& title) override {
        return QFileDialog::getExistingDirectory(parent, title);
    }
};

FileDialogs*& installed() {
    static FileDialogs* dialogs = nullptr;
    return dialogs;
}
} // namespace

FileDialogs& Dialogs() {
    static QtFileDialogs real;
    return installed() ? *installed() : real;
}

void SetFileDialogs(FileDialogs* dialogs) {
    installed() = dialogs;
}

} // namespace kv
