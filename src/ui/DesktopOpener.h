#pragma once

#include <QUrl>

namespace kv {

// Hands a web page, a document or a downloaded file to the desktop's default application.
// The program never runs a file itself. Tests replace the opener, so nothing they do ever
// starts a browser.
class DesktopOpener {
public:
    virtual ~DesktopOpener() = default;
    // False when the desktop has no application for it.
    virtual bool open(const QUrl& url) = 0;
};

// Opens through the installed opener (the desktop's, unless a test replaced it).
bool OpenWithDesktop(const QUrl& url);

// Replaces the opener (nullptr restores the desktop's). The caller keeps ownership.
void SetDesktopOpener(DesktopOpener* opener);

} // namespace kv
