// Loading from resources lives apart from the rest of CPicture so that code
// which only decodes pictures in memory does not pull in the package reader.
#include "picture.h"

#include <QFile>
#include <QString>

CPicture::CPicture(pelmora::HMODULE module, unsigned id, const char* type)
{
    LoadFromResource(module, id, type);
}

bool CPicture::LoadFromResource(pelmora::HMODULE module, unsigned id, const char* type)
{
    ReleasePicture();
    if (type == nullptr)
        return false;
    // Resource ids are 16-bit integer names; higher bits play no part.
    const auto resourceId = std::uint16_t(id & 0xFFFF);
    if (module == nullptr) {
        QFile file(QStringLiteral(":/resources/%1/%2").arg(QString::fromLatin1(type)).arg(resourceId));
        if (!file.open(QIODevice::ReadOnly))
            return false;
        const QByteArray bytes = file.readAll();
        return LoadFromMemory(bytes.size(), bytes.constData());
    }
    const auto resource = module->FindResource(type, resourceId);
    if (!resource || resource->empty())
        return false;
    return LoadFromMemory(qsizetype(resource->size()), resource->data());
}
