#pragma once

#include <QImage>
#include <QString>

// The program's pictures by name, as a bundle's named images: one registered under the name, else
// the resource ":/images/NAME.png" that the program builds in. A null image when there is neither.
namespace NamedImages {

// A null image removes the registration.
void registerImage(const QString& name, const QImage& image);
QImage imageNamed(const QString& name);

} // namespace NamedImages
