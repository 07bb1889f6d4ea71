#include "tools/macros/macros_path.h"

#include <QDir>
#include <QStandardPaths>

namespace velmoractl {

std::string DefaultMacrosPath()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QDir::toNativeSeparators(folder + QStringLiteral("/velmora/macros.txt")).toStdString();
}

}  // namespace velmoractl
