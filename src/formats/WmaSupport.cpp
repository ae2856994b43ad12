#include "formats/WmaSupport.h"

#include "formats/WmaFileWriter.h"
#include "settings/ProgramFolder.h"

#include <QDir>

namespace kv {

bool CheckWMASupport() {
    const QString path = QDir(WritableFolder()).filePath(kWmaCheckFile);
    return WriteEmptyWma(path) || WriteEmptyWma(QString());
}

bool IsWindowsMediaPath(const QString& path) {
    const QString last = path.right(3).toLower();
    return last == QLatin1String("wma") || last == QLatin1String("asf") ||
           last == QLatin1String("wmv");
}

} // namespace kv
