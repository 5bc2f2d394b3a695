#include "Attributes.h"

QString attrText(std::int32_t bits) {
    static constexpr struct {
        std::int32_t bit;
        const char *text;
    } order[] = {{Attr::System, "Sys,"},   {Attr::Directory, "Dir,"}, {Attr::Hidden, "Hid,"},
                 {Attr::ReadOnly, "R/O,"}, {Attr::Volume, "Vol,"},    {Attr::Archive, "Arc,"}};
    QString text;
    for (const auto &item : order) {
        if (bits & item.bit)
            text += QLatin1String(item.text);
    }
    text.chop(1);
    return text;
}

QString lastPathPart(QStringView path) {
    for (qsizetype i = path.size() - 1; i >= 0; --i) {
        const QChar c = path[i];
#ifdef Q_OS_WIN
        if (c == u'\\')
#else
        if (c == u'\\' || c == u'/')
#endif
            return path.mid(i + 1).toString();
    }
    return path.toString();
}
