#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace kv {

// One entry of a file dialog's type list: the label exactly as shown, and its patterns.
struct DialogFilter {
    QString label;
    QStringList patterns; // "*.wav", ...
};

// The add-audio dialog's entries, labels looked up in the current language where they have a
// caption key.
std::vector<DialogFilter> AudioDialogFilters();
std::vector<DialogFilter> VideoDialogFilters();
QString AudioDialogTitle();
QString VideoDialogTitle();

// The entry as a Qt name filter: "label (*.a *.b)", so the dialog can hide the pattern part.
QString QtNameFilter(const DialogFilter& filter);

} // namespace kv
