#include "ui/main/name_only_icon_provider.h"

#include <QFileInfo>
#include <QIcon>

namespace norvane::ui {

QMimeType NameOnlyIconProvider::typeByName(const QFileInfo& info) const {
    // Matching by extension looks at the name, and at the kind from the file's status;
    // it never reads the file.
    return types_.mimeTypeForFile(info, QMimeDatabase::MatchExtension);
}

QIcon NameOnlyIconProvider::icon(const QFileInfo& info) const {
    if (info.isRoot()) return icon(Drive);
    if (info.isDir()) return icon(Folder);
    const QMimeType type = typeByName(info);
    for (const QString& name : {type.iconName(), type.genericIconName()}) {
        const QIcon themed = QIcon::fromTheme(name);
        if (!themed.isNull()) return themed;
    }
    return icon(File);
}

QString NameOnlyIconProvider::type(const QFileInfo& info) const {
    // Qt names drives and folders by their kind alone; only for files does it read.
    if (info.isRoot() || info.isDir()) return QFileIconProvider::type(info);
    const QMimeType type = typeByName(info);
    return type.comment().isEmpty() ? type.name() : type.comment();
}

}  // namespace norvane::ui
