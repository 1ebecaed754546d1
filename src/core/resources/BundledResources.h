#pragma once

#include <QString>

#include <optional>

// The files that ship with the application (built-in lists, interface images, covers), addressed by
// subfolder, base name and extension. They are compiled into the program; LYRAFOLD_RESOURCE_DIR, or
// setRootForTesting(), points the lookup at a folder on disk instead.
namespace BundledResources {

// The folder all lookups start from (":/lyrafold" unless overridden).
QString rootPath();

// The path of <root>/<subfolder>/<baseName>.<extension> when that file exists; an empty subfolder
// means the top of the resources.
std::optional<QString> find(const QString &subfolder, const QString &baseName, const QString &extension);

// Tests point the lookup at a folder of their own; an empty path restores the default.
void setRootForTesting(const QString &path);

} // namespace BundledResources
