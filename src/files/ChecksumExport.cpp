#include "ChecksumExport.h"

#include "FileWriter.h"
#include "snapshot/NameCodec.h"
#include "snapshot/SnapshotList.h"

FileError exportSha256sum(const SnapshotList &list, const QString &path) {
    FileWriter writer;
    if (FileError err = writer.open(path))
        return err;
    std::string &out = writer.buffer();
    for (int i = 0; i < list.size(); ++i) {
        const Digest digest = list.digest(i);
        if (!hasDigest(digest))
            continue;
        const QByteArray below = NameCodec::pathBytes(list.folder(i), list.name(i));
        if (below.isEmpty())
            continue; // no file of the tree: a crafted snapshot's, which may point out of it
        QByteArray name = "./" + below;
        if (name.contains('\\') || name.contains('\n')) {
            out.push_back('\\');
            name.replace('\\', "\\\\").replace('\n', "\\n");
        }
        out.append(digestText(digest).toStdString());
        out.append("  ");
        out.append(name.constData(), std::size_t(name.size()));
        out.push_back('\n');
        if (FileError err = writer.flushIfFull())
            return err;
    }
    return writer.commit();
}
