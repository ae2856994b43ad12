#include "ui/DesktopOpener.h"

#include <QDesktopServices>

namespace kv {
namespace {
class SystemOpener final : public DesktopOpener {
public:
    bool open(const QUrl& url) override { return QDesktopServices::openUrl(url); }
};

DesktopOpener*& installed() {
    static DesktopOpener* opener = nullptr;
    return opener;
}
} // namespace

bool OpenWithDesktop(const QUrl& url) {
    static SystemOpener system;
    DesktopOpener* opener = installed() ? installed() : &system;
    return url.isValid() && opener->open(url);
}

void SetDesktopOpener(DesktopOpener* opener) {
    installed() = opener;
}

} // namespace kv
