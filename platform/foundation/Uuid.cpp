#include "platform/foundation/Uuid.h"

#include <QUuid>

QString uuidString()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}
