#include "OutputBuffer.h"

#include "Args.h"

void OutputBuffer::finish(const char *what) {
    write();
    if (std::fflush(stdout) != 0 || m_failed)
        fail(QStringLiteral("cannot write the %1").arg(QLatin1String(what)));
}
