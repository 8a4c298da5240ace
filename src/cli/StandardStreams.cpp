#include "StandardStreams.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace wendrel::cli {

QString versionLine(const QString &program)
{
    return program + QStringLiteral(" " WENDREL_VERSION "\n");
}

bool writeOut(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    errno = 0;
    const bool written = std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size());
    // The stream's buffer hides a full disk until it is flushed.
    return std::fflush(stdout) == 0 && written && !std::ferror(stdout);
}

void complain(const QString &program, const QString &message)
{
    std::fprintf(stderr, "%s: %s\n", qPrintable(program), qPrintable(message));
    std::fflush(stderr);
}

QString errorText()
{
    return errno ? QString::fromLocal8Bit(std::strerror(errno)) : QStringLiteral("input/output error");
}

std::optional<QString> readLine()
{
    char *buffer = nullptr;
    size_t capacity = 0;
    errno = 0;
    const ssize_t length = ::getline(&buffer, &capacity, stdin);
    if (length < 0) {
        std::free(buffer);
        return std::nullopt;
    }
    qsizetype end = length;
    if (end > 0 && buffer[end - 1] == '\n')
        --end;
    if (end > 0 && buffer[end - 1] == '\r')
        --end;
    QString line = QString::fromUtf8(buffer, end);
    std::free(buffer);
    return line;
}

bool readFailed()
{
    return std::ferror(stdin) != 0;
}

int answer(const QString &program, const QString &text)
{
    if (writeOut(text))
        return EXIT_SUCCESS;
    complain(program, QStringLiteral("cannot write to standard output: ") + errorText());
    return EXIT_FAILURE;
}

} // namespace wendrel::cli
